#include "tfm_set_updown.h"

#include <QIntValidator>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>

UpDown::UpDown(int minimum, int maximum, QWidget* parent)
    : QWidget(parent), min_(minimum), max_(std::max(minimum, maximum)), position_(minimum) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    up_ = new QToolButton(this);
    up_->setArrowType(Qt::UpArrow);
    up_->setAutoRepeat(true);
    down_ = new QToolButton(this);
    down_->setArrowType(Qt::DownArrow);
    down_->setAutoRepeat(true);
    for (QToolButton* b : {up_, down_}) {
        b->setFixedSize(16, 11);
        b->setFocusPolicy(Qt::NoFocus);
        layout->addWidget(b);
    }
    connect(up_, &QToolButton::clicked, this, &UpDown::StepUp);
    connect(down_, &QToolButton::clicked, this, &UpDown::StepDown);
    setFixedSize(16, 22);
}

void UpDown::SetAssociate(QLineEdit* edit) {
    edit_ = edit;
    edit_->setValidator(new QIntValidator(min_, max_, edit_));
    connect(edit_, &QLineEdit::textEdited, this, &UpDown::TakeFromAssociate);
    // A field left half-typed (empty, or out of range) shows the position again.
    connect(edit_, &QLineEdit::editingFinished, this, &UpDown::ShowInAssociate);
    ShowInAssociate();
}

void UpDown::SetPosition(int position) {
    position = std::clamp(position, min_, max_);
    if (position == position_) {
        ShowInAssociate();
        return;
    }
    position_ = position;
    ShowInAssociate();
    emit positionChanged(position_);
}

void UpDown::ShowInAssociate() {
    if (edit_ != nullptr && edit_->text() != QString::number(position_))
        edit_->setText(QString::number(position_));
}

void UpDown::TakeFromAssociate() {
    bool ok = false;
    const int typed = edit_->text().toInt(&ok);
    if (!ok)
        return;
    const int clamped = std::clamp(typed, min_, max_);
    if (clamped != position_) {
        position_ = clamped;
        emit positionChanged(position_);
    }
}
