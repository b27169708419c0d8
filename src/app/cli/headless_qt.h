// SPDX-License-Identifier: GPL-3.0-or-later
// The Qt application a picture needs (fonts), on the offscreen platform when
// no other is asked for, with Qt's developer remarks kept off the terminal.
#pragma once

#include <QGuiApplication>
#include <memory>

namespace app::cli {

class HeadlessQt {
 public:
  explicit HeadlessQt(char* argv0);
  ~HeadlessQt();
  HeadlessQt(const HeadlessQt&) = delete;
  HeadlessQt& operator=(const HeadlessQt&) = delete;

 private:
  int argc_ = 1;
  char* argv_[2];
  std::unique_ptr<QGuiApplication> app_;
};

}  // namespace app::cli
