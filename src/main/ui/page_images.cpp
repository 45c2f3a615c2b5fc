// SPDX-License-Identifier: GPL-3.0-or-later
#include "main/ui/page_images.h"

#include "controls/ui/data_aware.h"
#include "core/guard.h"
#include "core/interaction.h"
#include "data/dmKV.h"
#include "main/record_commands.h"
#include "main/settings.h"
#include "main/ui/record_view.h"

#include <QDir>
#include <QFileInfo>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace kv {

using Nav = DatasetNavigator;

PageImages::PageImages(RecordView &view, QWidget *parent) : QWidget(parent), m_view(view)
{
    TdmKVResults &dm = view.dm();
    Interaction &ui = view.ui();
    QVBoxLayout *layout = recordPageLayout(view, this);
    auto *columns = new QHBoxLayout;
    layout->addLayout(columns, 1);

    auto *images = panelBox(this, u"Images"_s,
                            view.detailNavigator(this, dm.QImages,
                                                 Nav::First | Nav::Prior | Nav::Next | Nav::Last |
                                                     Nav::Insert | Nav::Delete | Nav::Post,
                                                 RecordView::PanelKind::Images));
    auto *form = new QFormLayout;
    static_cast<QVBoxLayout *>(images->layout())->addLayout(form);
    auto *type = new DbLookupComboBox(ui, images);
    type->setField(dm.QImages, u"ImageTypeID"_s);
    type->setList(dm.ImageTypes, u"ImageTypeID"_s, u"ImageType"_s);
    view.addLookupBox(type);
    form->addRow(u"Image type"_s, type);
    QTableView *grid = datasetGrid(view.ui(), images, dm.QImages, {u"ImageTypeID"_s, u"ImageID"_s},
                                   {u"Image type"_s, u"Image #"_s});
    images->layout()->addWidget(grid);
    auto *caption = new DbMemo(ui, images);
    caption->setField(dm.QImages, u"ImageCaption"_s);
    caption->setMaximumHeight(80);
    form->addRow(u"Caption"_s, caption);
    auto *buttons = new QHBoxLayout;
    auto *show = new QPushButton(u"Show Image"_s, images);
    connect(show, &QPushButton::clicked, this,
            [this] { guarded(m_view.ui(), [this] { bbShowImageClick(); }); });
    auto *import = new QPushButton(u"Import Image"_s, images);
    connect(import, &QPushButton::clicked, this,
            [this] { guarded(m_view.ui(), [this] { bbImportImageClick(); }); });
    buttons->addWidget(show);
    buttons->addWidget(import);
    static_cast<QVBoxLayout *>(images->layout())->addLayout(buttons);
    view.addPanelControls(dm.QImages, {show, type, grid});
    columns->addWidget(images, 1);

    Image1 = new QLabel(this);
    Image1->setAlignment(Qt::AlignCenter);
    Image1->setMinimumSize(320, 240);
    Image1->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
    columns->addWidget(Image1, 2);
    connect(&view, &RecordView::pictureCleared, this, &PageImages::clearPicture);
}

void PageImages::clearPicture()
{
    Image1->clear();
}

void PageImages::bbShowImageClick()
{
    guarded(m_view.ui(), [this] {
        const QByteArray bytes = selectedImage(m_view.dm());
        const QImage image = QImage::fromData(bytes);
        if (image.isNull()) {
            Image1->setText(bytes.isEmpty() ? u"No picture is stored for this image."_s
                                            : u"This picture is stored in a format Kelvora cannot show."_s);
            return;
        }
        Image1->setPixmap(
            QPixmap::fromImage(image).scaled(Image1->size(), Qt::KeepAspectRatio, Qt::SmoothTransformation));
    });
}

void PageImages::bbImportImageClick()
{
    Interaction &ui = m_view.ui();
    ViewerSettings *settings = m_view.settings;
    const QStringList filters{u"All (*.jpg *.jpeg *.png *.tif *.tiff *.bmp *.ico *.emf *.wmf)"_s,
                              u"JPEG Image File (*.jpg)"_s,
                              u"JPEG Image File (*.jpeg)"_s,
                              u"PNG Image File (*.png)"_s,
                              u"Bitmaps (*.bmp)"_s,
                              u"Icons (*.ico)"_s,
                              u"Enhanced Metafiles (*.emf)"_s,
                              u"Metafiles (*.wmf)"_s,
                              u"TIFF Image File (*.tif *.tiff)"_s};
    QString folder = settings ? settings->ImagePath : QString();
    if (!QFileInfo(folder).isDir())
        folder = QDir::homePath();
    const auto choice = ui.openFile(u"Import Image"_s, filters, folder);
    if (!choice)
        return;
    if (settings)
        settings->ImagePath = QDir::toNativeSeparators(QFileInfo(choice->path).absolutePath() + u'/');
    try {
        importImage(m_view.dm(), choice->path);
    } catch (const DatabaseError &e) {
        ui.warning(writeFailureText(u"The picture was not stored"_s, e));
        return;
    } catch (const Error &e) {
        ui.warning(e.message());
        return;
    }
    bbShowImageClick();
}

} // namespace kv
