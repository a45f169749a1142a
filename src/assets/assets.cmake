# Compiled-in pictures of tarvex.exe. (Replaced by the asset build.)
set(TARVEX_RESOURCES "")
