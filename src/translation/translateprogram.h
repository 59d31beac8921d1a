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
// Every top-level widget of the application. A window is translated once: later walks leave
// it alone.
void translateprogram();
// Qt's own texts (standard buttons, file dialogs) in German while German is chosen; the
// other languages keep Qt's English texts. Needs Debian's Qt translations; without them Qt
// speaks English.
void UseQtTexts(int language);
// From now on, while a language other than German is chosen, every window of this tool that
// was not translated yet is translated when it is first shown (windows made after start-up).
void TranslateWindowsWhenShown();

} // namespace morvilo
