#pragma once

#include "engine/Complex.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <variant>
#include <vector>

class QCheckBox;
class QDialogButtonBox;
class QFormLayout;
class QGridLayout;
class QLineEdit;
class QVBoxLayout;

namespace zarn::app {

struct ExampleKey;

/** The parse messages of a text field, one per kind of member. */
inline constexpr const char* kNumberMessage = "Please enter a number.";
inline constexpr const char* kIntegerMessage = "Please enter an integer.";
inline constexpr const char* kUnsignedMessage = "Please enter a positive integer.";

/** Reads a double as a dialog field does: surrounding blanks allowed, finite values only. */
std::optional<double> parseNumber(const QString& text);
/** Reads a signed 32-bit integer; nothing for text that is not one or does not fit. */
std::optional<int> parseInteger(const QString& text);
/** Reads an unsigned 32-bit integer (no sign); nothing for text that is not one or does not
 *  fit. */
std::optional<std::uint32_t> parseUnsigned(const QString& text);

/** How a double is shown in a field: up to 15 significant digits, so it reads back unchanged
 *  as far as a user can type it. */
QString numberText(double v);

/** Shows a refused field's message in a warning box over @p parent and waits for it. */
void showFieldMessage(QWidget* parent, const QString& message);

/**
 * A modal dialog whose controls are bound to plain members. Each field is registered with a
 * key (the label the document's Validate functions put before their messages); OK, and any
 * button that calls takeControls(), first reads every text field as its member's type (a parse
 * failure names the field by focusing it and shows the parse message), then asks validate()
 * for the ranges. A refused value keeps the dialog open.
 */
class FieldDialog : public QDialog {
    Q_OBJECT

public:
    explicit FieldDialog(const QString& title, QWidget* parent = nullptr);

    /** The control registered under @p key (the first, when several share it). */
    QWidget* field(const QString& key) const;

    void accept() override;

protected:
    /** The range checks, as "key: message", run after every field has been read. */
    virtual std::optional<std::string> validate() const { return std::nullopt; }

    // Fields: each creates its control, registers it under @p key and returns it.
    QLineEdit* numberField(const QString& key, double& member);
    QLineEdit* integerField(const QString& key, int& member);
    QLineEdit* unsignedField(const QString& key, std::uint32_t& member);
    /** An int member that the dialog reads as an unsigned number. */
    QLineEdit* unsignedField(const QString& key, int& member);
    /** A field that shows @p member and never reads it back. */
    QLineEdit* shownField(const QString& key, const std::uint32_t& member);
    QCheckBox* checkField(const QString& text, bool& member);
    QCheckBox* checkField(const QString& text, std::int32_t& member);

    /** An int member that a form reads as an unsigned number. */
    struct ReadAsUnsigned {
        int* member;
    };
    /** A member a form shows and never reads back. */
    struct ShownOnly {
        std::uint32_t* member;
    };
    /** One row of a form: a label and the member its field is bound to. The member's type
     *  decides the field and its parse message; a bool makes a check box with the label as its
     *  text. The label is the field's key. */
    struct FormRow {
        const char* label;
        std::variant<double*, int*, std::uint32_t*, ReadAsUnsigned, ShownOnly, bool*> member;
    };
    /** A form of @p rows, in order, added to the body. */
    QFormLayout* addForm(std::initializer_list<FormRow> rows);
    /**
     * A grid of number fields with headings above the columns and before the rows: the field in
     * row r, column c is bound to member(r, c) and registered under key(r, c).
     */
    QGridLayout* addNumberGrid(const QStringList& columnHeads, const QStringList& rowHeads,
                               const std::function<QString(int, int)>& key,
                               const std::function<double&(int, int)>& member);
    /** Rows of complex numbers numbered from 0, the real part left and the imaginary part
     *  right, the part in column c (0 real, 1 imaginary) of row r registered under key(r, c). */
    template <std::size_t N>
    void addComplexRows(std::array<Complex, N>& values,
                        const std::function<QString(int, int)>& key) {
        addNumberGrid({QStringLiteral("Real"), QStringLiteral("Imaginary")}, indexHeads(N), key,
                      [&values](int row, int column) -> double& {
                          Complex& c = values[static_cast<std::size_t>(row)];
                          return column == 0 ? c.re : c.im;
                      });
    }
    /** "0", "1", ... up to @p count - 1. */
    static QStringList indexHeads(std::size_t count);
    /** A picture button with the example quilt of @p key, in the column beside the body. */
    void addPicture(const ExampleKey& key);

    /** The dialog's body, above the OK and Cancel buttons. */
    QVBoxLayout* body() const { return body_; }
    QDialogButtonBox* buttons() const { return buttons_; }

    /** Writes every member into its control. */
    void showControls();
    /** Reads and checks every control; on refusal shows the message, focuses the field and
     *  returns false (members read before the refusal keep their new values). */
    bool takeControls();
    /** Shows @p message for @p field (which may be null) and gives the field the focus. */
    void refuse(QWidget* field, const QString& message);

private:
    struct Field {
        QString key;
        QWidget* widget = nullptr;
        std::function<void()> show;
        /** Reads the control into the member; the parse message on failure. */
        std::function<const char*()> take;
    };

    template <typename T, typename Parse>
    QLineEdit* textField(const QString& key, T& member, Parse parse, const char* message,
                         std::function<QString(T)> format);
    void addField(Field f);

    std::vector<Field> fields_;
    QVBoxLayout* body_ = nullptr;
    QVBoxLayout* pictures_ = nullptr;
    QDialogButtonBox* buttons_ = nullptr;
};

/** A field dialog over a document value struct, checked by the document's @p Validate. */
template <typename Values, auto Validate> class ValuesDialog : public FieldDialog {
public:
    const Values& values() const { return v_; }

protected:
    ValuesDialog(const QString& title, const Values& values, QWidget* parent)
        : FieldDialog(title, parent), v_(values) {}

    std::optional<std::string> validate() const override { return Validate(v_); }

    Values v_;
};

} // namespace zarn::app
