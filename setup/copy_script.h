#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nimbra::setup {

// The copy blocks of the installer script. A line is a marker only when the
// whole line equals it exactly (case matters, no trimming); every other line
// inside a block names one file relative to the setup folder.
struct CopyBlock {
  std::string_view start;  // "START COPY"
  std::string_view stop;   // "STOP COPY"
};
inline constexpr CopyBlock kProgramBlock{"START COPY", "STOP COPY"};
inline constexpr CopyBlock kInstallerBlock{"NET START COPY", "NET STOP COPY"};
inline constexpr CopyBlock kWindowsBlock{"WIN START COPY", "WIN STOP COPY"};
inline constexpr CopyBlock kSystemBlock{"SYS START COPY", "SYS STOP COPY"};
inline constexpr CopyBlock kProfileBlock{"PROFILE START COPY", "PROFILE STOP COPY"};
// Every block after this line belongs to the database-only part.
inline constexpr std::string_view kDatabaseOnlyMarker = "[DATABASE ONLY SCRIPT]";

// The script's lines: split at LF, a CR before it dropped.
std::vector<std::string> ScriptLines(std::string_view text);

// The files one pass copies, in order: the lines inside the pass's blocks of
// the normal part (databaseOnly false) or of the database-only part. A block
// never closed runs to the end of the script.
std::vector<std::string> FilesOfBlock(const std::vector<std::string>& lines, const CopyBlock& block,
                                      bool databaseOnly);

}  // namespace nimbra::setup
