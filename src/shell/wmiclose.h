// Closing Windows down through WMI, and the small text helpers of the completion.
#pragma once

#include "shell/WmiBinding.h"

#include <string>

namespace qvr {

// The local computer's name; empty when the system cannot give it.
std::string LocalComputerName();

// Asks WMI for a forced reboot (restart true) or a forced shutdown of a computer
// (empty name: the local one; empty user: the caller's own credentials).
// Returns 0 when the close-down was accepted; the refusing "ReturnValue" with
// errorText "PC Close Down Failed: <system text> [<grouped code>]"; -1 with an empty
// errorText when there is no operating system object; -1 with errorText
// "Exception in WmiCloseWin" when any step fails. Never raises.
int WmiCloseWin(const std::string& computerName, const std::string& userName,
                const std::string& password, bool restart, std::string& errorText);
int WmiCloseWin(WmiBinding& binding, const std::string& computerName, const std::string& userName,
                const std::string& password, bool restart, std::string& errorText);

// The decimal text of value grouped in thousands with the locale's separator.
std::string IntToGroupedText(int value);
// Groups a decimal digit string with an optional leading "-" in thousands.
std::string GroupThousands(const std::string& digits);
std::string GroupThousands(const std::string& digits, char separator);
// The thousands separator read from the user's locale at start-up; ',' when it gives none.
char ThousandSeparator();

// count copies of fillChar; empty for a count of 0 or less.
std::string FillText(int count, char fillChar);
// text centred in width characters (not bytes: an umlaut is one), an odd surplus to
// the right; a text at least width characters long is returned as it is. fillChar is
// an ASCII character.
std::string CentreText(const std::string& text, int width, char fillChar);

}  // namespace qvr
