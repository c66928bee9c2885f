// Keeps a library configurable while its folder has no source yet.
