#pragma once

#include "FieldDialog.h"
#include "document/DialogApply.h"

#include <QDialog>

namespace zarn::app {

/** "Use Detail": the detail choices of the square and hexagonal maps. */
class DetailDialog : public ValuesDialog<DetailValues, ValidateDetail> {
public:
    explicit DetailDialog(const DetailValues& values, QWidget* parent = nullptr);
};

/** The view period has no range: every value is stored (its low 16 bits). */
inline std::optional<std::string> anyViewPeriod(const std::uint32_t&) {
    return std::nullopt;
}

/** "Set View Quilt Periods": how many periods the window shows across and down. */
class Perview : public ValuesDialog<std::uint32_t, anyViewPeriod> {
public:
    explicit Perview(std::uint32_t periods, QWidget* parent = nullptr);
};

/** "Status": the step count, shown only, and the step limit. */
class ItStat : public ValuesDialog<StatusValues, ValidateStatus> {
public:
    explicit ItStat(const StatusValues& values, QWidget* parent = nullptr);
};

/** The untitled notice of a quilt that converged, with an icon and OK only. */
class Abandilg : public QDialog {
    Q_OBJECT

public:
    static constexpr const char* kText =
        "This Quilt converged to too few points. Restart it with a new Setup.";

    explicit Abandilg(QWidget* parent = nullptr);
};

} // namespace zarn::app
