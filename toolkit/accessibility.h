#pragma once

// Every skinned window and control, shown to assistive technology through Qt's
// accessibility framework (AT-SPI on Linux, UI Automation on Windows): windows as frames,
// dialogs or alerts named by their caption, buttons that can be pressed, labels read by
// their text, text fields named by their label, the list with its rows. Windows install it
// themselves; what a control is shown as comes from accessible_tree.h.

class QAccessibleInterface;

namespace kelvora {

class CControlUI;
class CListUI;

// Installs the interfaces for the toolkit's widgets (once; UI thread, with an application).
void InstallAccessibility();

// Tells assistive technology that what `control` shows changed, so a reader says it.
void AnnounceTextChange(CControlUI& control, bool wasEmpty);
// Tells it that row `row` of `list` is now the selected one.
void AnnounceSelection(CListUI& list, CControlUI& row);

}  // namespace kelvora
