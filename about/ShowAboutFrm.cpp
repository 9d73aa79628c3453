#include "about/ShowAboutFrm.h"

#include <QIcon>
#include <QMessageBox>
#include <QString>
#include <QWidget>

extern "C" Q_DECL_EXPORT void ShowAboutFrm(quintptr parentWindow, const char *title,
                                           const char *version)
{
    QWidget *parent = parentWindow != 0 ? QWidget::find(WId(parentWindow)) : nullptr;
    const QString titleText = QString::fromUtf8(title ? title : "");
    const QString versionText = QString::fromUtf8(version ? version : "");

    QMessageBox box(parent);
    box.setObjectName(QStringLiteral("aboutBox"));
    box.setWindowTitle(QStringLiteral("О программе"));
    box.setIcon(QMessageBox::Information);
    box.setTextFormat(Qt::RichText);
    box.setText(QStringLiteral("<p style='font-size:13pt'><b>%1</b></p><p>%2</p>")
                        .arg(titleText.toHtmlEscaped(), versionText.toHtmlEscaped()));
    box.setInformativeText(QStringLiteral(
            "Конфигурирование и контроль реле МИВ-04 и МИВ-06 по последовательной линии."));
    box.setStandardButtons(QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}
