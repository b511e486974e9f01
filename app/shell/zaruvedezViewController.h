#pragma once
// The main menu: the first scene of the storyboard "Main". Its buttons lead to the clinic's screens;
// a button whose screen is not part of the storyboard is left out. It shows the version and, where
// the clinic uses the web service, a button that opens the service's login page.
#include <memory>
#include <optional>
#include <string>

#include "platform/ui/ViewController.h"

class QLabel;
class QPushButton;
namespace Ui {
class zaruvedezViewController;
}

class zaruvedezViewController : public ui::ViewController {
    Q_OBJECT
  public:
    zaruvedezViewController();
    ~zaruvedezViewController() override;

    void viewDidLoad() override;
    void TrovaButtonDidTouch();

    // Outlets, once the view is loaded.
    QPushButton* TrovaButton() const;
    QPushButton* LetterButton() const;
    QLabel* versionLabel() const;

    // The user default holding the web service's host (there is no built-in one).
    static constexpr const char* kLoginHostKey = "TrovaLoginHost";
    // "https://<host>/login.php" when the host is set and usable.
    static std::optional<std::string> loginPageURL();

  protected:
    void loadView() override;

  private:
    void connectSegueButtons();
    std::unique_ptr<Ui::zaruvedezViewController> form_;
};
