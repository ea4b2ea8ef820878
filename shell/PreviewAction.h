// "Просмотр" of the main window: the active project's site in the browser,
// through the project window's preview (window/ProjectPreview.h).
#pragma once

class QAction;

namespace orvana {

class TForm1;

// The command, Ctrl+Shift+P wherever the focus is in the main window; it
// does nothing while no project is open.
QAction* makePreviewAction(TForm1* frame);

}  // namespace orvana
