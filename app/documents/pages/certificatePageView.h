#pragma once
// What every page of the certificate (and of the letter) stands on: its background in the print
// language (Japanese while filling out) with the views of its form laid over it.
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
class zurarerizIvaDadadavu;

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
    // Printed, every text is fitted into its view (documents::fitPrintedTexts); filled out, every label
    // (documents::fitShownLabels).
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
    // A text view of the form: answers to this page, shows no bars, and takes no input when printed.
    void adoptTextView(ui::TextView* text);
    bool eventFilter(QObject* watched, QEvent* event) override;

    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    int32_t touchViewTag_ = 0;

  private:
    int page_;
    QPointer<QWidget> form_;
    ui::KeyboardObservers keyboard_;
};
