#pragma once
// The treatment list popover of the certificate: the phrases a treatment field may take, and a first
// row that switches the field to free typing. The choice goes to the delegate, which closes the list.
#include <QListWidget>
#include <QPointer>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/ViewController.h"

class tableListDelegate {
  public:
    virtual ~tableListDelegate() = default;
    virtual void popoverListClose(const std::string& text, int32_t tagNo, bool closeFlag) = 0;
};

class tableListView : public ui::ViewController {
    Q_OBJECT
  public:
    static constexpr const char* kSceneIdentifier = "tableList";
    static constexpr const char* kManualInput = "（手動入力）";

    tableListView();
    ~tableListView() override;

    void viewDidLoad() override;

    void setDelegate(std::weak_ptr<tableListDelegate> delegate) { delegate_ = std::move(delegate); }
    const std::vector<std::string>& contentsList() const { return contentsList_; }
    const std::string& selectedCont() const { return selectedCont_; }
    void setSelectedCont(std::string text) { selectedCont_ = std::move(text); }
    int32_t tagNo() const { return tagNo_; }
    void setTagNo(int32_t tag) { tagNo_ = tag; }
    QListWidget* contentsTable() const { return table_; }
    // A row chosen by the clinician.
    void didSelectRow(int row);

  protected:
    void loadView() override;

  private:
    std::weak_ptr<tableListDelegate> delegate_;
    std::vector<std::string> contentsList_;
    std::string selectedCont_;
    int32_t tagNo_ = 0;
    QPointer<QListWidget> table_;
};
