#pragma once
// The photo menu: takes the patient ID and opens the selection screen of one photo kind (normal,
// VELscope, X-ray) once the patient is found. No questionnaire is needed here.
#include <QPushButton>
#include <memory>
#include <string>

#include "platform/ui/TextField.h"
#include "platform/ui/ViewController.h"

class zurarerizIvaDadadavu;
namespace Ui {
class selectPhotosViewTop;
}

class selectPhotosViewTop : public ui::ViewController {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "selectPhotosViewTop";
    static constexpr const char* kNormalSegue = "normalPhotoSegue";
    static constexpr const char* kVelscopeSegue = "velscopePhotoSegue";
    static constexpr const char* kRoentgenSegue = "roentgenPhotoSegue";

    selectPhotosViewTop();
    ~selectPhotosViewTop() override;

    void viewDidLoad() override;
    void prepareForSegue(ui::StoryboardSegue& segue, QObject* sender) override;
    // The buttons tagged 1, 2 and 3.
    void photoSelectStart(QAbstractButton* button);

    ui::TextField* patientIDBox() const;
    // The kind button of the tag, or null.
    QPushButton* kindButton(int tag) const;

  protected:
    void loadView() override;

  private:
    std::unique_ptr<Ui::selectPhotosViewTop> form_;
    std::shared_ptr<zurarerizIvaDadadavu> appDelegate_;
};
