#include "settingspages.h"

#include "modifypwddialog.h"
#include "modifyredundpwddialog.h"
#include "setcomdia.h"
#include "setdatadialog.h"
#include "setrefundpwddialog.h"
#include "setreundform.h"
#include "setshoukuan.h"

#include "core/till.h"

#include <QWidget>

namespace settingspages {

QWidget* create(Till& till, SettingsPage page, QWidget* parent) {
    switch (page) {
        case SettingsPage::SerialPorts:
            return new SetComDia(till, parent);
        case SettingsPage::OtherSettings:
            return new SetDataDialog(till.session(), till.settings(), parent);
        case SettingsPage::LoginPassword:
            return new ModifyPwdDialog(till.passwords(), till.session().uname(), parent);
        case SettingsPage::RefundPasswordChange:
            return new ModifyRedundPwdDialog(till.passwords(), till.session().uname(), parent);
        case SettingsPage::RefundPasswordReset:
            return new SetRefundPwdDialog(till.passwords(), till.session().uname(), parent);
        case SettingsPage::Collection:
            return new SetShouKuan(till, parent);
        case SettingsPage::Refunds:
            return new setReundForm(till, parent);
    }
    return nullptr;
}

}  // namespace settingspages
