#pragma once

#include "failurehandler.h"

#include <QWidget>
#include <utility>

class QComboBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class TIniFile;
struct AppState;

// The tag editor "ID3 EDIT": edits the five tag values stored in the settings section "info"
// that every following recording receives. It never touches an audio file. Created once at
// start-up and shown and closed (hidden) from then on.
class Tfm_id3 : public QWidget {
    Q_OBJECT
public:
    // `ini` and `state` must outlive the window; `centreOn` (the main window, may be null) is the
    // window the editor is centred on when shown. `tags_shown` of `state` is true while shown.
    Tfm_id3(TIniFile& ini, AppState& state, QWidget* centreOn, QWidget* parent = nullptr);

    // Receives a refused settings write of the OK button; without one it propagates.
    void SetFailureHandler(FailureHandler handler) { failureHandler_ = std::move(handler); }

    QLineEdit* edt_title;
    QLineEdit* edt_arist;
    QLineEdit* edt_album;
    QPlainTextEdit* edt_com;
    QComboBox* cb_g;
    QPushButton* Button1; // OK
    QPushButton* Button2; // Cancel

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    // Enter is OK (Cancel when Cancel has the focus; a new line in the comments), Escape Cancel.
    void keyPressEvent(QKeyEvent* event) override;

private:
    // Fills the genre box and loads the stored values.
    void FormShow();
    // Stores the five values and closes.
    void Button1Click();
    void Button2Click();

    TIniFile& ini_;
    AppState& state_;
    QWidget* centreOn_;
    FailureHandler failureHandler_;
};
