#pragma once

#include "app/dialogs/FieldDialog.h"
#include "document/CZARN40Doc.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace zarn::app::testing_support {

/** A seeded document without a worker. */
inline std::unique_ptr<CZARN40Doc> quietDocument(std::uint64_t seed = 7) {
    DocumentOptions o;
    o.seed = seed;
    o.startWorker = false;
    return std::make_unique<CZARN40Doc>(o);
}

inline QAbstractButton* boxButton(QWidget* dialog, QDialogButtonBox::StandardButton which) {
    for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
        if (QAbstractButton* b = box->button(which)) {
            return b;
        }
    }
    return nullptr;
}

/** The button or check box named @p name in @p dialog. */
inline QAbstractButton* named(QWidget* dialog, const QString& name) {
    return dialog->findChild<QAbstractButton*>(name);
}

/** Sets the check box labelled @p text in @p dialog. */
inline void check(QWidget* dialog, const QString& text, bool on) {
    for (auto* box : dialog->findChildren<QCheckBox*>()) {
        if (box->text() == text) {
            box->setChecked(on);
            return;
        }
    }
    FAIL() << "no check box " << text.toStdString();
}

/** Replaces the text of the field registered under @p key, as typing would. */
inline void setField(FieldDialog& dialog, const QString& key, const QString& text) {
    auto* edit = qobject_cast<QLineEdit*>(dialog.field(key));
    Q_ASSERT(edit != nullptr);
    edit->setText(text);
    emit edit->textEdited(text);
}

/**
 * Answers the modal windows that come up while it lives: each time a modal window becomes the
 * top one, the next step is run on it (after the event that showed it has been handled, so a
 * step may open further modal windows). A window beyond the steps is rejected and noted.
 * Message boxes can be answered automatically: their texts are collected and OK is pressed.
 */
class ModalDriver {
public:
    using Step = std::function<void(QWidget*)>;

    /** Only message boxes are answered; other windows (a dialog a test shows itself) are left
     *  alone. */
    static ModalDriver messagesOnly() { return ModalDriver({}, true); }

    explicit ModalDriver(std::vector<Step> steps) : ModalDriver(std::move(steps), false) {}

private:
    ModalDriver(std::vector<Step> steps, bool messagesOnly)
        : steps_(steps.begin(), steps.end()), messagesOnly_(messagesOnly) {
        timer_.setInterval(5);
        QObject::connect(&timer_, &QTimer::timeout, [this] { poll(); });
        timer_.start();
    }

public:
    ModalDriver(const ModalDriver&) = delete;
    ModalDriver& operator=(const ModalDriver&) = delete;

    /** Leaves @p window (a dialog the test shows itself) alone. */
    void ignore(QWidget* window) { ignored_.push_back(window); }

    /** Texts of the message boxes answered, in order. */
    std::vector<QString> messages;
    /** Titles of the windows no step was left for. */
    std::vector<QString> unexpected;
    bool stepsDone() const { return steps_.empty(); }

private:
    void poll() {
        QWidget* top = QApplication::activeModalWidget();
        if (top == nullptr || top == last_ || !top->isVisible() ||
            std::find(ignored_.begin(), ignored_.end(), top) != ignored_.end()) {
            return;
        }
        last_ = top;
        QPointer<QWidget> target(top);
        if (auto* box = qobject_cast<QMessageBox*>(top)) {
            messages.push_back(box->text());
            QTimer::singleShot(0, box, [target] {
                if (auto* b = qobject_cast<QMessageBox*>(target.data())) {
                    b->button(QMessageBox::Ok)->click();
                }
            });
            return;
        }
        if (messagesOnly_) {
            return;
        }
        if (steps_.empty()) {
            unexpected.push_back(top->windowTitle());
            QTimer::singleShot(0, top, [target] {
                if (auto* d = qobject_cast<QDialog*>(target.data())) {
                    d->reject();
                }
            });
            return;
        }
        Step step = std::move(steps_.front());
        steps_.pop_front();
        QTimer::singleShot(0, top, [target, step] {
            if (target) {
                step(target.data());
            }
        });
    }

    std::deque<Step> steps_;
    bool messagesOnly_;
    QTimer timer_;
    QPointer<QWidget> last_;
    std::vector<QWidget*> ignored_;
};

/** Types @p text into the field @p key, presses @p button and returns the messages shown. */
inline std::vector<QString> typeAndPress(FieldDialog& dialog, const char* key, const char* text,
                                         QAbstractButton* button) {
    setField(dialog, QString::fromUtf8(key), QString::fromUtf8(text));
    const ModalDriver driver = ModalDriver::messagesOnly();
    button->click();
    return driver.messages;
}

/** One message, @p message, was shown and the field @p key has the focus. */
inline void expectRefused(FieldDialog& dialog, const std::vector<QString>& messages,
                          const char* key, const char* message) {
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages.front().toStdString(), message);
    EXPECT_EQ(dialog.focusWidget(), dialog.field(QString::fromUtf8(key)));
}

/** A step that presses OK (after @p edit, when given). */
inline ModalDriver::Step pressOk(std::function<void(QWidget*)> edit = {}) {
    return [edit](QWidget* w) {
        if (edit) {
            edit(w);
        }
        boxButton(w, QDialogButtonBox::Ok)->click();
    };
}

inline ModalDriver::Step pressCancel(std::function<void(QWidget*)> edit = {}) {
    return [edit](QWidget* w) {
        if (edit) {
            edit(w);
        }
        boxButton(w, QDialogButtonBox::Cancel)->click();
    };
}

} // namespace zarn::app::testing_support
