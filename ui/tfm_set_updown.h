#pragma once

#include <QWidget>

class QLineEdit;
class QToolButton;

// An up-down control: two arrow buttons holding a position within a range, bound to a number
// field that shows it (the settings dialog's quality fields). The field and the arrows are
// separate widgets so that each can be enabled on its own.
//
// Setting the position from code or with the arrows updates the field; typing a number into the
// field moves the position (clamped to the range). positionChanged fires on every change,
// whatever caused it.
class UpDown : public QWidget {
    Q_OBJECT
public:
    UpDown(int minimum, int maximum, QWidget* parent = nullptr);

    // The field shows the position from now on and feeds typed numbers back.
    void SetAssociate(QLineEdit* edit);
    int Position() const { return position_; }
    void SetPosition(int position);
    int Minimum() const { return min_; }
    int Maximum() const { return max_; }
    void StepUp() { SetPosition(position_ + 1); }
    void StepDown() { SetPosition(position_ - 1); }

signals:
    void positionChanged(int position);

private:
    void ShowInAssociate();
    void TakeFromAssociate();

    int min_;
    int max_;
    int position_;
    QLineEdit* edit_ = nullptr;
    QToolButton* up_;
    QToolButton* down_;
};
