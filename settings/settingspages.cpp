#include "settingspages.h"

#include "modifypwddialog.h"
#include "setcomdia.h"
#include "setdatadialog.h"
#include "setshoukuan.h"

#include <QWidget>
#include <functional>
#include <map>

namespace settingspages {
namespace {

using Factory = std::function<QWidget*(QWidget*)>;

// Number -> constructor of the page. A number missing here opens the hub without a page.
const std::map<int, Factory>& factories() {
    static const std::map<int, Factory> table = {
        {1, [](QWidget* parent) -> QWidget* { return new SetComDia(parent); }},
        {2, [](QWidget* parent) -> QWidget* { return new SetDataDialog(parent); }},
        {3, [](QWidget* parent) -> QWidget* { return new ModifyPwdDialog(parent); }},
        {6, [](QWidget* parent) -> QWidget* { return new SetShouKuan(parent); }},
    };
    return table;
}

}  // namespace

QWidget* create(int type, QWidget* parent) {
    const auto& table = factories();
    const auto it = table.find(type);
    return it == table.end() ? nullptr : it->second(parent);
}

bool available(int type) {
    return factories().count(type) > 0;
}

}  // namespace settingspages
