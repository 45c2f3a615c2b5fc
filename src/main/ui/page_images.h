// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QWidget>

class QCheckBox;
class QLabel;
class QTableView;

namespace kv {

class ChartView;
class DatasetNavigator;
class DbEdit;
class RecordView;

/// "Images": the record's pictures.
class PageImages : public QWidget
{
    Q_OBJECT

public:
    PageImages(RecordView &view, QWidget *parent);
    void bbShowImageClick();
    void bbImportImageClick();
    void clearPicture();
    QLabel *Image1;

private:
    RecordView &m_view;
};

} // namespace kv
