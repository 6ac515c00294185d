#pragma once

#include <QString>
#include <QWidget>

namespace qrv::window {

// The station's emblem, drawn where the results table sits while no table is
// shown: three probe lines running into a ring, with the name below.
class LogoWidget final : public QWidget {
    Q_OBJECT
  public:
    explicit LogoWidget(QWidget* parent = nullptr);
    void SetSubtitle(const QString& subtitle);

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    QString subtitle_;
};

}  // namespace qrv::window
