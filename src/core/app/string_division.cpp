// Splits comma-separated reply lines into numbered fields.
