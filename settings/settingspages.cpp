#include "settingspages.h"

#include "modifypwddialog.h"
#include "modifyredundpwddialog.h"
#include "setcomdia.h"
#include "setdatadialog.h"
#include "setrefundpwddialog.h"
#include "setreundform.h"
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
        {4, [](QWidget* parent) -> QWidget* { return new ModifyRedundPwdDialog(parent); }},
        {5, [](QWidget* parent) -> QWidget* { return new SetRefundPwdDialog(parent); }},
        {6, [](QWidget* parent) -> QWidget* { return new SetShouKuan(parent); }},
        {7, [](QWidget* parent) -> QWidget* { return new setReundForm(parent); }},
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
