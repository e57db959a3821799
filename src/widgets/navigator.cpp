#include "widgets/navigator.h"

// The navigator is being written; an empty panel until then.
namespace tovera {

RecordNavigator::RecordNavigator(QWidget* parent) : QWidget(parent) {}
void RecordNavigator::setButtonSize(int) {}

} // namespace tovera
