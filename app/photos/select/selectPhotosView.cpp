#include "app/photos/select/selectPhotosView.h"

#include <QEvent>
#include <QLayout>
#include <algorithm>
#include <set>

#include "app/photos/albums/McInfo.h"
#include "app/photos/hud/ZVProgressHUD.h"
#include "app/photos/select/selectPhotoCell.h"
#include "app/shell/FormAlerts.h"
#include "app/shell/PatientGate.h"
#include "app/shell/zurarerizIvaDadadavu.h"
#include "platform/foundation/Exception.h"
#include "platform/foundation/Format.h"
#include "platform/foundation/Log.h"
#include "platform/photos/LibraryWait.h"
#include "platform/ui/LongPressGestureRecognizer.h"
#include "platform/ui/Tag.h"
#include "ui_selectPhotosView.h"

namespace {
constexpr int kFirstSlot = 1, kLastBoardSlot = 15, kLastTouchableSlot = 16;
constexpr double kSlotBorderWidth = 3.0;
const QSize kThumbnailSize(selectPhotosView::kThumbnailSide, selectPhotosView::kThumbnailSide);
} // namespace

selectPhotosView::selectPhotosView()
    : form_(std::make_unique<Ui::selectPhotosView>()), appDelegate_(zurarerizIvaDadadavu::shared()) {}

selectPhotosView::~selectPhotosView() {
    if (isViewLoaded()) {
        collectionView()->setDataSource(nullptr);
        collectionView()->setDelegate(nullptr);
    }
}

void selectPhotosView::loadView() {
    loadViewFromForm(*form_);
}

std::shared_ptr<selectPhotosView> selectPhotosView::self() {
    return std::static_pointer_cast<selectPhotosView>(shared_from_this());
}

ui::CollectionView* selectPhotosView::collectionView() const {
    return form_->collectionView;
}
QWidget* selectPhotosView::largePhotoContainer() const {
    return form_->largePhotoContainer;
}
QPushButton* selectPhotosView::deselectBtn() const {
    return form_->deselectBtn;
}
QWidget* selectPhotosView::cover() const {
    return form_->cover;
}
QWidget* selectPhotosView::slotView(int tag) const {
    if (!form_->board) return nullptr;
    // The numbered slots are looked for on the board only: the grid's cells carry tags of their own.
    if (tag >= kFirstSlot && tag <= kLastTouchableSlot) return ui::viewWithTag(form_->board, tag);
    for (QWidget* view : {form_->board, static_cast<QWidget*>(form_->roentgenSlot), form_->cover})
        if (ui::tag(view) == tag) return view;
    return nullptr;
}

bool selectPhotosView::isSlotTag(int tag) const {
    return tag == kRoentgenSlot || (tag >= kFirstSlot && tag <= kLastTouchableSlot);
}

void selectPhotosView::viewDidLoad() {
    auto me = self();
    std::string name;
    if (appDelegate_ && appDelegate_->patientInfo()) {
        auto it = appDelegate_->patientInfo()->find("name");
        if (it != appDelegate_->patientInfo()->end()) name = it->second;
    }
    contentTitle_ = foundation::format("%@ - %@", contentTitle_, name);
    setTitle(contentTitle_);
    closeButton_ = ui::BarButtonItem::create("戻る", ui::BarButtonItemStyle::Done);
    closeButton_->setTarget(me, &selectPhotosView::closeLargePhotoContainer);
    if (appDelegate_ && appDelegate_->registButton() && appDelegate_->cancelButton()) {
        appDelegate_->registButton()->setTarget(me, &selectPhotosView::registData);
        appDelegate_->cancelButton()->setTarget(me, &selectPhotosView::tapCancelButton);
    }
    restoreBarButtons();

    selectTagNo_ = 0;
    processFlg_ = false;
    largePhotoContainer()->hide();
    cover()->hide();
    deselectBtn()->setEnabled(false);
    connect(deselectBtn(), &QPushButton::clicked, this, &selectPhotosView::tapDeselectBtn);

    // The viewer lives as long as the screen, in its container.
    viewer_ = std::make_shared<largePhotoView>();
    adoptChild(viewer_);
    largePhotoContainer()->layout()->addWidget(viewer_->view());

    imageManager_ = photos::ImageManager::defaultManager();
    const std::string patientID = appDelegate_ && appDelegate_->patientID() ? *appDelegate_->patientID() : "";
    if (appDelegate_)
        scan_ = std::make_shared<photoalbums::PhotoAlbumScan>(
            appDelegate_->state(), photos::PhotoLibrary::shared(), patientID, photoType_,
            photoalbums::getPhotoFolderName().value_or(""));
    if (scan_) {
        scan_->getAssetsListFromLibrary(false);
        if (!scan_->selectedTagList.empty()) setRegistedPhotos();
    }

    ui::CollectionView* grid = collectionView();
    grid->registerCell(kCellIdentifier, [] { return new selectPhotoCell; });
    grid->setItemSize(QSize(116, 116));
    grid->setSpacing(8);
    grid->setBounces(true);
    grid->setDataSource(this);
    grid->setDelegate(this);
    grid->reloadData();
    std::weak_ptr<selectPhotosView> weak = me;
    ui::LongPressGestureRecognizer::attach(grid, [weak](ui::LongPressGestureRecognizer& r) {
        if (auto s = weak.lock()) s->dispLargePhoto(r);
    });

    auto slotPress = [weak](ui::LongPressGestureRecognizer& r) {
        if (auto s = weak.lock()) s->dispLargePhotoFromList(r);
    };
    const bool roentgen = photoType_ == "roentgen";
    if (QWidget* board = slotView(kBoardTag)) board->setVisible(!roentgen);
    for (int tag = kFirstSlot; tag <= kLastBoardSlot; ++tag)
        if (QWidget* slot = slotView(tag)) {
            slot->setVisible(!roentgen);
            if (!roentgen) ui::LongPressGestureRecognizer::attach(slot, slotPress);
        }
    if (QWidget* slot = slotView(kRoentgenSlot)) {
        slot->setVisible(roentgen);
        if (roentgen) ui::LongPressGestureRecognizer::attach(slot, slotPress);
    }
    for (int tag = kFirstSlot; tag <= kLastTouchableSlot; ++tag)
        if (QWidget* slot = slotView(tag)) slot->installEventFilter(this);
    if (QWidget* slot = slotView(kRoentgenSlot)) slot->installEventFilter(this);
    for (int tag = kFirstSlot; tag <= kLastTouchableSlot; ++tag)
        if (auto* slot = qobject_cast<ui::ImageView*>(slotView(tag)))
            slot->setContentMode(ui::ImageView::ContentMode::ScaleAspectFit);
    if (auto* slot = qobject_cast<ui::ImageView*>(slotView(kRoentgenSlot)))
        slot->setContentMode(ui::ImageView::ContentMode::ScaleAspectFit);
    // An empty board is not what was registered: the staff are told, and the register waits for a read.
    if (scan_ && scan_->slotsRead().isFailed())
        shell::presentPhotoReadFailure(*this, scan_->slotsRead().failure);
}

void selectPhotosView::viewWillDisappear(bool) {
    cover()->hide();
}

void selectPhotosView::restoreBarButtons() {
    if (!appDelegate_) return;
    navigationItem().setRightBarButtonItem(appDelegate_->registButton());
    navigationItem().setLeftBarButtonItem(appDelegate_->cancelButton());
}

bool selectPhotosView::eventFilter(QObject* watched, QEvent* event) {
    if ((event->type() == QEvent::MouseButtonPress || event->type() == QEvent::TouchBegin) &&
        watched->isWidgetType())
        touchesBegan(static_cast<QWidget*>(watched));
    return false; // the long press watches the same press
}

// ---- the grid

int selectPhotosView::numberOfItemsInSection(ui::CollectionView&, int) {
    return scan_ ? int(scan_->assetsList.size()) : 0;
}

ui::CollectionViewCell* selectPhotosView::cellForItemAt(ui::CollectionView& view, int item) {
    auto* cell = static_cast<PhotoThumbnailCell*>(view.dequeueReusableCell(kCellIdentifier, item));
    if (!scan_ || item < 0 || item >= int(scan_->assetsList.size())) return cell;
    const photos::Asset& asset = scan_->assetsList[item];
    cell->setAssetIdentifier(asset.localIdentifier);
    QPointer<PhotoThumbnailCell> weakCell = cell;
    imageManager_->requestImage(asset, kThumbnailSize, photos::ImageContentMode::AspectFill,
                                [weakCell, id = asset.localIdentifier](std::optional<ui::Image> image) {
                                    // The cell may have gone, or gone on to another photograph.
                                    if (!weakCell || weakCell->assetIdentifier() != id || !image) return;
                                    weakCell->setImage(image->displayedBitmap());
                                });
    return cell;
}

void selectPhotosView::didSelectItemAt(ui::CollectionView&, int item) {
    if (!scan_ || selectTagNo_ == 0 || processFlg_) return;
    const std::string key = std::to_string(selectTagNo_);
    processFlg_ = true;
    const bool shift = deselectPhotoFromList(item);
    const int row = item + (shift ? 1 : 0);
    auto& pool = scan_->assetsList;
    if (row < 0 || row >= int(pool.size())) {
        processFlg_ = false;
        return;
    }
    const photos::Asset asset = pool[row];
    showPicture(selectTagNo_, asset, true);
    deselectBtn()->setEnabled(true);
    scan_->selectedAssetList[asset.localIdentifier] = asset;
    scan_->selectedTagList[key] = asset.localIdentifier;
    pool.erase(pool.begin() + row);
    try {
        collectionView()->deleteItems({row});
    } catch (const foundation::NamedException& e) {
        foundation::log("%@: %@", e.name(), e.reason());
        collectionView()->reloadData();
    }
}

void selectPhotosView::showPicture(int tag, const photos::Asset& asset, bool endsLoading) {
    std::weak_ptr<selectPhotosView> weak = self();
    imageManager_->requestImage(
        asset, kThumbnailSize, photos::ImageContentMode::AspectFill,
        [weak, tag, id = asset.localIdentifier, endsLoading](std::optional<ui::Image> image) {
            auto s = weak.lock();
            if (!s || !s->isViewLoaded()) return; // the screen closed meanwhile
            // Whatever came back (a small picture, or none), the loading is over.
            if (endsLoading) s->processFlg_ = false;
            auto it = s->scan_->selectedTagList.find(std::to_string(tag));
            if (it == s->scan_->selectedTagList.end() || it->second != id) return; // the slot moved on
            auto* slot = qobject_cast<ui::ImageView*>(s->slotView(tag));
            if (slot && image) slot->setImage(*image);
        });
}

// ---- the board

void selectPhotosView::touchesBegan(QWidget* touched) {
    if (processFlg_ || !touched) return;
    const int tag = ui::tag(touched);
    if (!isSlotTag(tag)) return;
    if (selectTagNo_ != 0) {
        if (auto* chosen = qobject_cast<ui::ImageView*>(slotView(selectTagNo_)))
            chosen->setBorder(Qt::red, 0);
        deselectBtn()->setEnabled(false);
    }
    if (tag == selectTagNo_) {
        selectTagNo_ = 0; // a second touch un-chooses
        return;
    }
    auto* slot = qobject_cast<ui::ImageView*>(touched);
    if (slot) slot->setBorder(Qt::red, kSlotBorderWidth);
    // A slot whose picture did not load still holds its photograph and can be emptied.
    const bool holds = scan_ && scan_->selectedTagList.count(std::to_string(tag));
    deselectBtn()->setEnabled((slot && slot->hasImage()) || holds);
    selectTagNo_ = tag;
}

void selectPhotosView::tapDeselectBtn() {
    deselectPhotoFromList(std::nullopt);
    if (selectTagNo_ == 0) return;
    if (auto* slot = qobject_cast<ui::ImageView*>(slotView(selectTagNo_))) slot->clearImage();
    deselectBtn()->setEnabled(false);
}

bool selectPhotosView::deselectPhotoFromList(std::optional<int> item) {
    if (!scan_) return false;
    const std::string key = std::to_string(selectTagNo_);
    auto slot = scan_->selectedTagList.find(key);
    if (slot == scan_->selectedTagList.end()) return false;
    const std::string id = slot->second;

    auto& pool = scan_->assetsList;
    const size_t n = pool.size();
    size_t i = n;
    for (size_t j = 0; j < n && j < scan_->rowsList.size(); ++j)
        if (scan_->rowsList[j] == id) {
            i = j;
            break;
        }
    bool shifted = false;
    try {
        auto value = scan_->selectedAssetList.find(id);
        const bool inserted = value != scan_->selectedAssetList.end() && value->second.has_value();
        if (inserted) pool.insert(pool.begin() + long(i), *value->second);
        // The tapped row moves only when something landed at or before it.
        shifted = inserted && item && *item >= int(i);
        scan_->selectedTagList.erase(slot);
        if (inserted) collectionView()->insertItems({int(i)});
        scan_->rowsList.push_back(id);
        scan_->selectedAssetList[id] = std::nullopt;
    } catch (const foundation::NamedException& e) {
        foundation::log("%@: %@", e.name(), e.reason());
    }
    return shifted;
}

void selectPhotosView::setRegistedPhotos() {
    if (!scan_) return;
    std::map<std::string, int> tagOf;
    for (const auto& [key, id] : scan_->selectedTagList) {
        try {
            tagOf[id] = std::stoi(key);
        } catch (const std::exception&) {
            // not a slot number; pruned below
        }
    }
    for (const photos::Asset& asset : scan_->assetsListType) {
        auto it = tagOf.find(asset.localIdentifier);
        if (it == tagOf.end()) continue;
        if (qobject_cast<ui::ImageView*>(slotView(it->second))) showPicture(it->second, asset, false);
        scan_->selectedAssetList[asset.localIdentifier] = asset;
    }
    // Slots whose photograph is no longer in the kind album are forgotten.
    for (auto it = scan_->selectedTagList.begin(); it != scan_->selectedTagList.end();) {
        auto value = scan_->selectedAssetList.find(it->second);
        const bool placed = value != scan_->selectedAssetList.end() && value->second.has_value();
        it = placed ? std::next(it) : scan_->selectedTagList.erase(it);
    }
}

bool selectPhotosView::takeStoredSlots() {
    store::FormData stored;
    const store::StoredRead read = scan_->readStoredSlots(stored);
    if (read.isFailed()) {
        shell::presentPhotoReadFailure(*this, read.failure);
        return false;
    }
    // Placed under what the staff chose meanwhile: a stored photograph whose slot they filled goes
    // back to the pool, as when they replace one on the board.
    std::set<std::string> chosen;
    for (const auto& [key, id] : scan_->selectedTagList)
        chosen.insert(id);
    std::vector<std::string> displaced;
    for (const auto& [key, id] : stored) {
        if (chosen.count(id)) continue;
        if (scan_->selectedTagList.emplace(key, id).second) continue;
        displaced.push_back(id);
    }
    std::set<std::string> kept;
    for (const auto& [key, id] : scan_->selectedTagList)
        kept.insert(id);
    for (const auto& asset : scan_->assetsList)
        kept.insert(asset.localIdentifier);
    bool poolGrew = false;
    for (const std::string& id : displaced) {
        auto asset = std::find_if(scan_->assetsListType.begin(), scan_->assetsListType.end(),
                                  [&id](const photos::Asset& a) { return a.localIdentifier == id; });
        // One gone from the kind album is forgotten, as when the screen opens.
        if (asset == scan_->assetsListType.end() || !kept.insert(id).second) continue;
        scan_->assetsList.push_back(*asset);
        scan_->rowsList.push_back(id);
        scan_->selectedAssetList[id] = std::nullopt;
        poolGrew = true;
    }
    setRegistedPhotos();
    if (poolGrew) collectionView()->reloadData();
    return true;
}

// ---- register and cancel

void selectPhotosView::registData() {
    // The move's settling turns the main loop: a second tap meanwhile must not start a second run
    // inside the first.
    if (processFlg_ || !scan_ || !appDelegate_) return;
    // The row is written whole: what was registered must have been read before it is written over.
    if (scan_->slotsRead().isFailed() && !takeStoredSlots()) return;
    auto keep = self(); // the waits run the event loop; and the run below ends inside the screen
    const auto run = registering_.begin();
    if (!run) return;
    appDelegate_->cancelButton()->setEnabled(false);
    cover()->show();
    cover()->raise();
    ZVProgressHUD::showWithStatus("登録中");
    std::string moveFailure;
    const bool moved = scan_->moveAssetsWhileBusy(&moveFailure);
    const bool written = moved && scan_->registPhotoRow();
    ZVProgressHUD::dismiss();
    appDelegate_->cancelButton()->setEnabled(true);
    // After a failure the board stays as it is, to be registered again.
    if (!written) cover()->hide();
    // A move the library refused has the library's cause; a row the database refused, the database's.
    if (!moved && !moveFailure.empty())
        return shell::presentError(*this, moveFailure + "\n登録できませんでした");
    shell::presentRegisterResult(*this, written, shell::FormExit::OneLevel,
                                 moved ? appDelegate_->state().lastSaveFailure : std::nullopt);
}

void selectPhotosView::tapCancelButton() {
    shell::presentCancelQuestion(*this, shell::FormExit::OneLevel);
}
