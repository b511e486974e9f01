#pragma once
// The certificate's third page: the overall judgement's face, text fields and photo slots.
#include <memory>
#include <string>

#include "app/documents/certificate/certificateSlotsPage.h"

namespace Ui {
class certificateView3;
}

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
