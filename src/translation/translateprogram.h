#pragma once
// Translation of whole windows: every caption, hint, list entry, heading and filter the walk
// knows passes through TranslateString.

class QObject;

namespace morvilo {

// Translates root and everything it owns, breadth-first over the object tree, the children of
// each object in reverse order. Qt's own compound widgets (spin boxes, combo boxes, the
// standard dialogs) are translated as a whole, never through their inner parts, and no text
// passes the lookup twice.
void translateprogram(QObject *root);
// Every top-level widget of the application.
void translateprogram();

} // namespace morvilo
