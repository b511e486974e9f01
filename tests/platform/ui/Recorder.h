#pragma once
// A controller that writes its load and appearance calls into a shared journal.
#include <memory>
#include <string>
#include <vector>

#include "platform/ui/Storyboard.h"
#include "platform/ui/ViewController.h"

namespace uitest {

using Journal = std::shared_ptr<std::vector<std::string>>;

inline Journal makeJournal() {
    return std::make_shared<std::vector<std::string>>();
}

class Recorder : public ui::ViewController {
  public:
    Recorder(std::string name, Journal journal) : name_(std::move(name)), journal_(std::move(journal)) {}
    void viewDidLoad() override { note("load"); }
    void viewWillAppear(bool) override { note("willAppear"); }
    void viewDidAppear(bool) override { note("didAppear"); }
    void viewWillDisappear(bool) override { note("willDisappear"); }
    void viewDidDisappear(bool) override { note("didDisappear"); }
    void prepareForSegue(ui::StoryboardSegue& segue, QObject*) override {
        note("prepare:" + segue.identifier());
        if (auto d = std::dynamic_pointer_cast<Recorder>(segue.destination())) d->preparedBy = name_;
    }
    const std::string& name() const { return name_; }
    std::string preparedBy;

  private:
    void note(const std::string& what) { journal_->push_back(name_ + "." + what); }
    std::string name_;
    Journal journal_;
};

} // namespace uitest
