#include "app/page_basic.h"

// The record controls are being written; the page is empty until then.
namespace tovera {

BasicPage::BasicPage(QWidget*, RecordSet&, DistrictTable&, Dialogs&, QObject* parent)
    : QObject(parent) {}
BasicPage::~BasicPage() = default;

} // namespace tovera
