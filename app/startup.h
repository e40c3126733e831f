#pragma once

// Brings the autostart entry into line with the stored choice ("check" in data.ini): written on every start.
void syncAutostart();

// Loads Qt's own Chinese catalogue (qtbase_zh_CN.qm from Qt's translations folder), so what Qt draws itself — the
// file dialog, standard buttons, a text field's context menu — speaks Chinese like the rest of the till. Returns
// false when the catalogue is not installed: those texts stay English, nothing else changes.
bool loadQtChinese();
