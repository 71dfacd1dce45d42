#include "app/nimbra-engine/output_file.h"

#include <filesystem>
#include <stdexcept>

#include "platform/files/atomic_file.h"

namespace nimbra::engine_tool {
namespace {

// A write-only stream over the atomic writer's temporary file.
class SinkStream : public Stream {
 public:
  explicit SinkStream(platform::FileSink& sink) : sink_(sink) {}
  std::size_t Read(void*, std::size_t) override { throw StreamError("output is write-only"); }
  std::size_t Write(const void* buffer, std::size_t count) override {
    sink_.Write(std::string_view(static_cast<const char*>(buffer), count));
    written_ += static_cast<std::int64_t>(count);
    return count;
  }
  // Only the position itself: the output is written front to back.
  std::int64_t Seek(std::int64_t offset, SeekOrigin origin) override {
    const std::int64_t target = origin == SeekOrigin::Begin ? offset : written_ + offset;
    if (target != written_) throw StreamError("output cannot seek");
    return written_;
  }
  std::int64_t Size() override { return written_; }
  void SetSize(std::int64_t) override { throw StreamError("output cannot change its size"); }

 private:
  platform::FileSink& sink_;
  std::int64_t written_ = 0;
};

}  // namespace

void WriteOutputFile(const std::string& path, const std::function<void(Stream& out)>& write) {
  platform::ReplaceFile(path, [&](platform::FileSink& sink) {
    SinkStream out(sink);
    write(out);
  });
}

void RefuseSameFile(const std::string& input, const std::string& output) {
  std::error_code ec;
  if (std::filesystem::equivalent(input, output, ec))
    throw std::invalid_argument("IN and OUT are the same file (" + output + ")");
}

}  // namespace nimbra::engine_tool
