#pragma once
// The questionnaire's three pages. Each is the page's background in the chosen language with
// transparent views laid over its printed choices and fields; a view's tag is its answer's key in the
// shared `inputItems`. While filling out, circles toggle and fields store their text; in print mode
// (touchMode off) the pages take no input but look the same, since the print preview captures them.
#include <QPixmap>
#include <QPointer>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "app/shell/datePickerView.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/ui/Keyboard.h"
#include "platform/ui/TextField.h"
#include "platform/ui/TextView.h"
#include "platform/ui/ViewController.h"

class QAbstractButton;
class QLabel;
class zurarerizIvaDadadavu;

// What the three pages share.
class inquiryPageView : public ui::ViewController, public ui::TextFieldDelegate {
    Q_OBJECT
  public:
    ~inquiryPageView() override;

    int pageNumber() const { return page_; }
    // The background of a page in a language: the plain name for "Japanese", "_Chinese" for
    // "Chinese", "_English" for anything else.
    static std::string backgroundImageName(int page, const std::optional<std::string>& language);

    void viewDidLoad() override;
    void viewWillAppear(bool animated) override;
    // Printed, every text is fitted into its view (documents::fitPrintedTexts).
    void viewDidAppear(bool animated) override;
    void viewDidDisappear(bool animated) override;

    virtual void setInitialData();
    void getClinicInfo();
    void tapButtonOnCircle(QAbstractButton* button);
    void tapButtonOnCircleMulti(QAbstractButton* button);
    void textFieldDidBeginEditing(ui::TextField& field) override;
    void textFieldDidEndEditing(ui::TextField& field) override;
    bool textFieldShouldReturn(ui::TextField& field) override;
    void keyboardWillShow(const foundation::Notification& notification);
    void keyboardWillHide(const foundation::Notification& notification);
    // A touch on one of the page's views (taps on labels and the background arrive here).
    virtual void touchesBegan(QWidget* touched);

    // Outlets.
    QLabel* backgroundImage() const;
    QLabel* clinicLogoImage() const;
    // The form laid over the background (the scrolling content of the page's view).
    QWidget* formView() const { return form_; }
    int touchViewTag() const { return touchViewTag_; }
    const std::shared_ptr<zurarerizIvaDadadavu>& appDelegate() const { return appDelegate_; }

  protected:
    // The form's own views, in their order.
    static std::vector<QWidget*> viewsOf(QWidget* form);
    explicit inquiryPageView(int page);
    // Builds the page's form into `form`.
    virtual void setupForm(QWidget* form) = 0;
    // The image a chosen multi-choice circle with the tag shows.
    virtual std::string multiCircleImageName(int tag) const = 0;
    virtual bool observesKeyboard() const { return true; }
    // How the page's views take part in filling out; print mode leaves them inert.
    virtual void connectViews(bool touchMode);
    void loadView() override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void setBackground();
    // Leaves a view unable to take input without the disabled look.
    static void makeInert(QWidget* view);

    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
    int touchViewTag_ = 0;

  private:
    int page_;
    QPointer<QWidget> form_;
    ui::KeyboardObservers keyboard_;
};
