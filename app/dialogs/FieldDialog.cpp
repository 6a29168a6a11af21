#include "FieldDialog.h"

#include "ExampleQuilts.h"

#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QVBoxLayout>

#include <cmath>
#include <limits>
#include <type_traits>

namespace zarn::app {

std::optional<double> parseNumber(const QString& text) {
    bool ok = false;
    const double v = text.trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) {
        return std::nullopt;
    }
    return v;
}

std::optional<int> parseInteger(const QString& text) {
    bool ok = false;
    const qlonglong v = text.trimmed().toLongLong(&ok, 10);
    if (!ok || v < std::numeric_limits<int>::min() || v > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(v);
}

std::optional<std::uint32_t> parseUnsigned(const QString& text) {
    const QString t = text.trimmed();
    bool ok = false;
    const qulonglong v = t.toULongLong(&ok, 10);
    if (!ok || t.startsWith(u'-') || v > std::numeric_limits<std::uint32_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(v);
}

QString numberText(double v) {
    return QString::number(v, 'g', 15);
}

void showFieldMessage(QWidget* parent, const QString& message) {
    QMessageBox box(QMessageBox::Warning, QApplication::applicationDisplayName(), message,
                    QMessageBox::Ok, parent);
    box.exec();
}

FieldDialog::FieldDialog(const QString& title, QWidget* parent) : QDialog(parent) {
    setWindowTitle(title);
    setModal(true);
    auto* outer = new QVBoxLayout(this);
    auto* columns = new QHBoxLayout;
    body_ = new QVBoxLayout;
    pictures_ = new QVBoxLayout;
    pictures_->addStretch();
    columns->addLayout(body_, 1);
    columns->addLayout(pictures_);
    outer->addLayout(columns);
    buttons_ = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons_, &QDialogButtonBox::accepted, this, &FieldDialog::accept);
    connect(buttons_, &QDialogButtonBox::rejected, this, &FieldDialog::reject);
    outer->addWidget(buttons_);
}

QWidget* FieldDialog::field(const QString& key) const {
    for (const Field& f : fields_) {
        if (f.key == key) {
            return f.widget;
        }
    }
    return nullptr;
}

void FieldDialog::accept() {
    if (takeControls()) {
        QDialog::accept();
    }
}

void FieldDialog::addField(Field f) {
    fields_.push_back(std::move(f));
}

template <typename T, typename Parse>
QLineEdit* FieldDialog::textField(const QString& key, T& member, Parse parse, const char* message,
                                  std::function<QString(T)> format) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(key);
    T* target = &member;
    addField({key, edit, [=] { edit->setText(format(*target)); },
              [=]() -> const char* {
                  const auto v = parse(edit->text());
                  if (!v) {
                      return message;
                  }
                  *target = static_cast<T>(*v);
                  return nullptr;
              }});
    return edit;
}

QLineEdit* FieldDialog::numberField(const QString& key, double& member) {
    QLineEdit* edit = textField<double>(key, member, parseNumber, kNumberMessage, numberText);
    // Wide enough for every digit a value is shown with.
    const QMargins m = edit->textMargins();
    edit->setMinimumWidth(
        edit->fontMetrics().horizontalAdvance(QStringLiteral("-0.0000000000000000")) + m.left() +
        m.right() + 12);
    return edit;
}

QLineEdit* FieldDialog::integerField(const QString& key, int& member) {
    return textField<int>(key, member, parseInteger, kIntegerMessage,
                          [](int v) { return QString::number(v); });
}

QLineEdit* FieldDialog::unsignedField(const QString& key, std::uint32_t& member) {
    return textField<std::uint32_t>(key, member, parseUnsigned, kUnsignedMessage,
                                    [](std::uint32_t v) { return QString::number(v); });
}

QLineEdit* FieldDialog::unsignedField(const QString& key, int& member) {
    // Above INT_MAX the value cannot be stored; such text counts as unreadable.
    const auto parse = [](const QString& text) -> std::optional<int> {
        const auto v = parseUnsigned(text);
        if (!v || *v > static_cast<std::uint32_t>(std::numeric_limits<int>::max())) {
            return std::nullopt;
        }
        return static_cast<int>(*v);
    };
    return textField<int>(key, member, parse, kUnsignedMessage,
                          [](int v) { return QString::number(v); });
}

QLineEdit* FieldDialog::shownField(const QString& key, const std::uint32_t& member) {
    auto* edit = new QLineEdit(this);
    edit->setObjectName(key);
    edit->setReadOnly(true);
    const std::uint32_t* source = &member;
    addField({key, edit, [=] { edit->setText(QString::number(*source)); },
              [] { return static_cast<const char*>(nullptr); }});
    return edit;
}

QCheckBox* FieldDialog::checkField(const QString& text, bool& member) {
    auto* box = new QCheckBox(text, this);
    bool* target = &member;
    addField({text, box, [=] { box->setChecked(*target); },
              [=] {
                  *target = box->isChecked();
                  return static_cast<const char*>(nullptr);
              }});
    return box;
}

QCheckBox* FieldDialog::checkField(const QString& text, std::int32_t& member) {
    auto* box = new QCheckBox(text, this);
    std::int32_t* target = &member;
    addField({text, box, [=] { box->setChecked(*target != 0); },
              [=] {
                  *target = box->isChecked() ? 1 : 0;
                  return static_cast<const char*>(nullptr);
              }});
    return box;
}

QFormLayout* FieldDialog::addForm(std::initializer_list<FormRow> rows) {
    auto* form = new QFormLayout;
    for (const FormRow& row : rows) {
        const QString label = QString::fromUtf8(row.label);
        std::visit(
            [&](auto member) {
                using Member = decltype(member);
                if constexpr (std::is_same_v<Member, bool*>) {
                    form->addRow(checkField(label, *member));
                } else if constexpr (std::is_same_v<Member, double*>) {
                    form->addRow(label, numberField(label, *member));
                } else if constexpr (std::is_same_v<Member, int*>) {
                    form->addRow(label, integerField(label, *member));
                } else if constexpr (std::is_same_v<Member, ShownOnly>) {
                    form->addRow(label, shownField(label, *member.member));
                } else if constexpr (std::is_same_v<Member, ReadAsUnsigned>) {
                    form->addRow(label, unsignedField(label, *member.member));
                } else {
                    form->addRow(label, unsignedField(label, *member));
                }
            },
            row.member);
    }
    body_->addLayout(form);
    return form;
}

QGridLayout* FieldDialog::addNumberGrid(const QStringList& columnHeads, const QStringList& rowHeads,
                                        const std::function<QString(int, int)>& key,
                                        const std::function<double&(int, int)>& member) {
    auto* grid = new QGridLayout;
    for (int c = 0; c < columnHeads.size(); ++c) {
        grid->addWidget(new QLabel(columnHeads[c], this), 0, c + 1, Qt::AlignHCenter);
    }
    for (int r = 0; r < rowHeads.size(); ++r) {
        grid->addWidget(new QLabel(rowHeads[r], this), r + 1, 0);
        for (int c = 0; c < columnHeads.size(); ++c) {
            grid->addWidget(numberField(key(r, c), member(r, c)), r + 1, c + 1);
        }
    }
    body_->addLayout(grid);
    return grid;
}

QStringList FieldDialog::indexHeads(std::size_t count) {
    QStringList heads;
    for (std::size_t i = 0; i < count; ++i) {
        heads << QString::number(i);
    }
    return heads;
}

void FieldDialog::addPicture(const ExampleKey& key) {
    pictures_->insertWidget(pictures_->count() - 1, new ExamplePicture(key, this));
}

void FieldDialog::showControls() {
    for (const Field& f : fields_) {
        f.show();
    }
}

bool FieldDialog::takeControls() {
    for (const Field& f : fields_) {
        if (const char* message = f.take()) {
            refuse(f.widget, QString::fromUtf8(message));
            return false;
        }
    }
    const std::optional<std::string> error = validate();
    if (!error) {
        return true;
    }
    // The document's messages read "key: message"; the box shows the message and the focus
    // shows the field, as the parse messages do.
    const QString text = QString::fromStdString(*error);
    for (const Field& f : fields_) {
        const QString prefix = f.key + QStringLiteral(": ");
        if (text.startsWith(prefix)) {
            refuse(f.widget, text.mid(prefix.size()));
            return false;
        }
    }
    refuse(nullptr, text);
    return false;
}

void FieldDialog::refuse(QWidget* field, const QString& message) {
    showFieldMessage(this, message);
    if (field == nullptr) {
        return;
    }
    field->setFocus(Qt::OtherFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(field)) {
        edit->selectAll();
    }
}

} // namespace zarn::app
