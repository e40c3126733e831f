#pragma once

class QString;
class QWidget;

// 打开日志文件夹: shows the operations log's folder in the desktop's file manager, for the merchant to hand its files
// to support. When no file manager takes it, a box names the folder instead. False then.
bool openLogFolder(QWidget* parent, const QString& folder);
