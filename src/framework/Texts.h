// Every text of the window framework that a user may see, in one place: the buttons and
// captions of the message dialog and the errors the framework raises itself. Lines in
// texts are separated by a CR (WithCrLf makes the CR LF of the system's controls).
#pragma once

namespace qvr::texts {

inline constexpr char kButtonYes[] = "&Ja";
inline constexpr char kButtonNo[] = "&Nein";
inline constexpr char kButtonOk[] = "OK";
inline constexpr char kButtonCancel[] = "Abbrechen";

inline constexpr char kCaptionWarning[] = "Warnung";
inline constexpr char kCaptionError[] = "Fehler";
inline constexpr char kCaptionInformation[] = "Information";
inline constexpr char kCaptionConfirmation[] = "Bestätigen";

inline constexpr char kUnknownError[] = "Unbekannter Fehler";
inline constexpr char kWindowNotCreated[] = "Fenster konnte nicht erzeugt werden";
inline constexpr char kControlNotCreated[] = "Steuerelement konnte nicht erzeugt werden";

}  // namespace qvr::texts
