#pragma once

// Brings the autostart entry into line with the stored choice ("check" in data.ini): written on every start.
class DataConfig;
void syncAutostart(DataConfig& config);

// Loads Qt's own Chinese catalogue (qtbase_zh_CN.qm from Qt's translations folder), so what Qt draws itself — the
// file dialog, standard buttons, a text field's context menu — speaks Chinese like the rest of the till. Returns
// false when the catalogue is not installed: those texts stay English, nothing else changes.
bool loadQtChinese();

// Before the application object: Qt's X11 plug-in readies OpenGL for the windows it creates (it loads the GL driver
// with the first one and picks a GL configuration for each), about a third of the time to the login window and half
// its memory, though no window here draws with OpenGL. Turned off unless the session chose otherwise
// (QT_XCB_GL_INTEGRATION already set); other platforms do not read the variable.
void skipOpenGlForWindows();
