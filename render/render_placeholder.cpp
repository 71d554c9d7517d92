// Replaced by the drawing functions.
