#include "Dialogs.h"

// Placeholders until the dialogs are built; they change nothing.

namespace zarn::app {

bool runChooseFractal(QWidget*, CZARN40Doc&) {
    return false;
}
bool runDetailSettings(QWidget*, CZARN40Doc&) {
    return false;
}
bool runImagePeriod(QWidget*, CZARN40Doc&) {
    return false;
}
bool runImageColors(QWidget*, CZARN40Doc&) {
    return false;
}
bool runIterationStatus(QWidget*, CZARN40Doc&) {
    return false;
}
void runConvergedNotice(QWidget*) {}

} // namespace zarn::app
