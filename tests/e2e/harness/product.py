"""Names that the setup shows and writes."""

PRODUCT = "QVR-Kelvador [DV2.95]"
LINK = "QVR-Kelvador Series [DV2.95].lnk"
# Window captions.
DIALOG = "QVR-KELVADOR V2"
BACKGROUND = "QVR-LORWENTHASCOP V1.0"
