#pragma once

// A single-line edit box: a real QLineEdit (input methods, selection, clipboard, password
// echo) inside a control that draws the layout's border and background.

#include "toolkit/label.h"

class QLineEdit;

namespace kelvora {

class CEditUI : public CLabelUI {
  public:
    CEditUI();
    QString GetClass() const override { return QStringLiteral("Edit"); }
    void SetAttribute(const QString& name, const QString& value) override;

    QString GetText() const override;
    // Replaces the text without a "textchanged" notification (only the user's edits send one).
    void SetText(const QString& text) override;
    void SetToolTip(const QString& tip) override;
    void SetEnabled(bool enabled) override;
    void SetFocus() override;
    void SetManager(CPaintManagerUI* manager) override;

    void SetPasswordMode(bool password);
    bool IsPasswordMode() const;
    void SetMaxChar(int maxChar);
    int GetMaxChar() const;
    void SetReadOnly(bool readOnly);
    // Selects characters [start, end); end -1 selects to the end.
    void SetSel(int start, int end);
    void SetSelAll();
    QString GetSelectedText() const;

    QLineEdit* LineEdit() const { return edit_; }

  protected:
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QLineEdit* edit_;
};

}  // namespace kelvora
