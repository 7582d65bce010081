// Keeps every module library non-empty while its folder is being filled.
