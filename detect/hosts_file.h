#pragma once

#include <string>
#include <string_view>

namespace nimbra::detect {

// The lines of the system's hosts file as Quickroute edits them. A line is
// an address followed by names, separated by blanks or tabs, with an
// optional comment from "#" to the line end.

// The line Quickroute writes: address, a tab, the name, then
// "  #added by NimbraPost".
std::string QuickrouteHostsLine(std::string_view address, std::string_view name);

// True when one of the line's name fields (the fields after its address,
// before any comment) equals `name` without regard to case. A longer name
// holding it, or a comment naming it, does not count.
bool HostsLineNames(std::string_view line, std::string_view name);

// The hosts text with the first line that names `name` replaced by the
// Quickroute line (the line keeps its own line end), or with the Quickroute
// line appended when no line names it. When the replaced line names other
// hosts too, they keep their address: the old line without the name
// follows the Quickroute line. Every other byte stays as it was;
// an appended line takes the text's line end (that of its first line, CR LF
// for a text without one).
std::string SetQuickrouteLine(std::string_view text, std::string_view address,
                              std::string_view name);

}  // namespace nimbra::detect
