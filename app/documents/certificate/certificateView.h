#pragma once
// The three-page certificate's pages: each its background in the print language (Japanese while
// filling out) with the views of its form laid over it.
#include <QPointer>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/store/ClinicState.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"

class QLabel;
class QListWidget;
class QPushButton;
class zurarerizIvaDadadavu;
namespace Ui {
class certificateView2;
class certificateView3;
} // namespace Ui

// What every page of the certificate (and of the letter) shares: its background, the print language's
// log line, taps on its views, the keyboard, and Return ending a text view.
class certificatePageView : public ui::ViewController, public ui::TextViewDelegate {
    Q_OBJECT
  public:
    // The page number of the one-page form.
    static constexpr int kOnePage = 0;

    ~certificatePageView() override;

    int pageNumber() const { return page_; }
    // "certificate_<page>.png" ("onePage_certificate.png" for the one-page form), with "_English" or
    // "_Chinese" for those print languages.
    static std::string backgroundImageName(int page, const std::optional<std::string>& language);

    void viewWillAppear(bool animated) override;
    // Printed, every text is fitted into its view (documents::fitPrintedTexts).
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;
    QWidget* formView() const { return form_; }
    // The print language; empty while filling out.
    static std::string language();
    QLabel* backgroundImage() const;
    QLabel* labelWithTag(int tag) const;
    int32_t touchViewTag() const { return touchViewTag_; }

    // A tap released on one of the page's own views.
    virtual void touchesEnded(QWidget* /*touched*/) {}
    virtual void keyboardWillShow(const foundation::Notification& /*notification*/) {}
    virtual void keyboardWillHide(const foundation::Notification& /*notification*/) {}
    // A typed line break ends editing and is not inserted.
    bool textViewShouldChangeTextInRange(ui::TextView& view, ui::TextRange range,
                                         const std::string& replacement) override;

  protected:
    explicit certificatePageView(int page);
    virtual void setupForm(QWidget* form) = 0;
    // The language a printed page writes in, and the artwork shown as the page appears; the letter's
    // pages, written in Japanese on a plain page, replace both.
    virtual std::string documentLanguage() const { return language(); }
    virtual void showBackground();
    void loadView() override;
    bool touchMode() const;
    // Taps on the page's labels and images reach touchesEnded.
    void acceptTouches();
    // A field or button of a printed page: takes no input, yet paints as in fill-out mode (a disabled
    // one would print grey).
    static void makeInert(QWidget* view);
    // The current patient's block on the form, in the print language.
    void fillPatientBlock();
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    int32_t touchViewTag_ = 0;

  private:
    int page_;
    QPointer<QWidget> form_;
    ui::KeyboardObservers keyboard_;
};

// Pages 2 and 3: check marks, text fields, and photo slots filled from the patient's photographs
// of each kind at the positions the photo-selection screen gave them.
class certificateSlotsPage : public certificatePageView {
    Q_OBJECT
  public:
    ~certificateSlotsPage() override;

    void viewDidLoad() override;
    virtual void setInitialData();

    void touchesEnded(QWidget* touched) override;
    void tapImageView(long tag);
    // Offers the photographs a slot may take.
    virtual void settingRegisterdPhoto(const std::string& kind, long slotNumber);
    void dispCollectionView();
    void hideCollectionView();
    void closeCollection();
    void deselectPhoto();
    void deselectPhotoFromList(const std::string& key);
    void removeAssetFromAllassetsList(const store::PhotoAsset& asset);
    // A photograph chosen from the open list.
    void didSelectItem(int row);

    bool textViewShouldBeginEditing(ui::TextView& view) override;
    void keyboardWillShow(const foundation::Notification& notification) override;
    void keyboardWillHide(const foundation::Notification& notification) override;

    // The positions of the photo-selection screen that feed a slot ("5", "2,8" …); empty for none.
    static std::string positionGroup(int page, const std::string& kind, long slotNumber);

    const std::vector<store::PhotoAsset>& assetsList() const { return assetsList_; }
    long selectTagNo() const { return selectTagNo_; }
    const std::string& showPhotoType() const { return showPhotoType_; }
    QListWidget* collectionView() const;
    QPushButton* deselectBtn() const;
    QPushButton* closeCollectionBtn() const;
    // The collection's caption, where the page has one.
    QLabel* labellabel() const;

  protected:
    explicit certificateSlotsPage(int page);
    // The form record the slots and fields write.
    virtual store::FormData& record() const;
    // The assets a slot of this page is filled from.
    std::vector<store::PhotoAsset>& sourceList();
    // Whether a placed photograph leaves its kind's list (and comes back to it when taken out).
    virtual bool slotsTakeFromSource() const { return true; }
    // Shows the photograph of the identifier in the slot once it arrives.
    virtual void requestSlotImage(const std::string& localIdentifier, QLabel* slot);
    // A stored value shown on a label of the page: a slot's photograph, a page-3 face, or the text.
    virtual void showStoredLabel(QLabel* label, int tag, const std::string& value);
    void setShowPhotoType(std::string kind) { showPhotoType_ = std::move(kind); }
    // The list offers these photographs, in this order.
    void showAssets(std::vector<store::PhotoAsset> assets);

  private:
    void addListItem(const store::PhotoAsset& asset);

    std::string showPhotoType_;
    std::vector<store::PhotoAsset> assetsList_;
    long selectTagNo_ = 0;
};

class certificateView2 : public certificateSlotsPage {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateView2";
    certificateView2();
    ~certificateView2() override;

    void setInitialData() override;
    void textViewDidEndEditing(ui::TextView& view) override;
    void calcToothAge();
    // The tens digit of the tooth age for a tooth count.
    static int toothAgeTens(int teeth);

  protected:
    void setupForm(QWidget* form) override;

  private:
    std::unique_ptr<Ui::certificateView2> ui_;
};

class certificateView3 : public certificateSlotsPage {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "certificateView3";
    certificateView3();
    ~certificateView3() override;

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    void setInitialData() override;
    void textViewDidEndEditing(ui::TextView& view) override;
    // The next face of the overall judgement, tapped on the image view with the tag.
    void nextFaceIcon(int tag);
    int selectFaceIconNo() const { return selectFaceIconNo_; }
    // "N/A" in English, "无" in Chinese, "無し" otherwise.
    static std::string noneWord(const std::string& language);

  protected:
    void setupForm(QWidget* form) override;

  private:
    std::unique_ptr<Ui::certificateView3> ui_;
    int selectFaceIconNo_ = 1;
};
