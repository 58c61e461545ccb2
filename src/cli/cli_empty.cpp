// Keeps the CLI library non-empty while its commands live in their own files.
