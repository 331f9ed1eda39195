"""Names that the setup shows and writes."""

PRODUCT = "QVR-Kelvador [DV2.95]"
LINK = "QVR-Kelvador Series [DV2.95].lnk"
# Window captions.
DIALOG = "QVR-KELVADOR V2"
BACKGROUND = "QVR-LORWENTHASCOP V1.0"
# The close confirmation and the question about an earlier installation.
CONFIRM = "Bestätigen"
FINAL = "Warnung"
# The failure and error boxes carry the program's file name without its extension.
ERROR = "Setup"
