#include "settingspages.h"

#include "modifypwddialog.h"
#include "modifyredundpwddialog.h"
#include "setcomdia.h"
#include "setdatadialog.h"
#include "setrefundpwddialog.h"
#include "setreundform.h"
#include "setshoukuan.h"

#include <QWidget>

namespace settingspages {

QWidget* create(SettingsPage page, QWidget* parent) {
    switch (page) {
        case SettingsPage::SerialPorts:
            return new SetComDia(parent);
        case SettingsPage::OtherSettings:
            return new SetDataDialog(parent);
        case SettingsPage::LoginPassword:
            return new ModifyPwdDialog(parent);
        case SettingsPage::RefundPasswordChange:
            return new ModifyRedundPwdDialog(parent);
        case SettingsPage::RefundPasswordReset:
            return new SetRefundPwdDialog(parent);
        case SettingsPage::Collection:
            return new SetShouKuan(parent);
        case SettingsPage::Refunds:
            return new setReundForm(parent);
    }
    return nullptr;
}

}  // namespace settingspages
