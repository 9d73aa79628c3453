#pragma once

#include "core/ProgramVersion.h"

#include <QString>

namespace miv {

// Texts that several places show; each is defined once.
namespace Texts {
inline const QString linkError = QStringLiteral("Ошибка связи с устройством!");
inline const QString portOpenError = QStringLiteral("Ошибка открытия порта");
inline const QString portCloseError = QStringLiteral("Ошибка закрытия порта");
// The port failed and could not be opened again: the adapter was pulled or the
// line's far end went away. %1: why the port failed, %2: why it would not open.
// The front end adds what the operator can do about it.
inline const QString portLost = QStringLiteral("Связь с портом потеряна: %1\n%2\nПорт закрыт.");
// After the reason "front.ini" could not be read. Storing the port settings
// refuses such a file too (its other lines would be lost), so mending or
// removing it is the way out.
inline const QString frontIniDefaultsTaken =
        QStringLiteral("Взяты настройки порта по умолчанию. Исправьте или удалите этот файл: "
                       "до тех пор настройки порта в нём не сохранятся.");
// An operation found the port closed: it is not opened behind the operator's back.
inline const QString portClosed =
        QStringLiteral("Порт закрыт. Откройте его кнопкой «Порт» и повторите.");
inline const QString deviceNotConnected = QStringLiteral("Устройство не подключено");
inline const QString passwordError = QStringLiteral("Ошибка ввода пароля!");
inline const QString functionOff = QStringLiteral("[фукнк. откл.]");
// The program's one version (project() in CMakeLists.txt): the about box shows
// it whole, the title its first three characters.
inline const QString versionString = programVersion();
inline const QString productTitle = QStringLiteral("Конфигуратор МИВ-04,06");
inline const QString applicationTitle =
        QStringLiteral("КАРВЕН motor config v") + versionString.left(3);
// The about box.
inline const QString aboutVersionLine = QStringLiteral("Версия ") + versionString;
inline const QString libraryLoadError = QStringLiteral("Ошибка загрузки библиотеки");
// Settings files and the timer schedule.
// A settings file that was loaded with keys or sections that appear twice.
inline const QString settingsFileRepeats = QStringLiteral("В файле настроек %1 есть повторы:\n%2");
inline const QString settingsSaveFailed = QStringLiteral("Файл настроек не сохранён.\n%1");
// A value of a row, and of the timer, that may not be taken: the value and
// what is allowed, for `settings set` and for a file's value alike.
inline const QString rowValueRefused =
        QStringLiteral("Строка %1 «%2»: значение «%3» недопустимо; допустимо %4");
inline const QString timerValueRefused =
        QStringLiteral("%1: значение «%2» недопустимо; допустимо %3");
inline const QString timerMarkRange = QStringLiteral("время от 00:00 до 23:59 (ЧЧ:ММ)");
inline const QString settingsValuesRejected = QStringLiteral(
        "Эти значения файла настроек недопустимы и не загружены (строки остались прежними):\n%1");
inline const QString timerMarkInvalidToolTip = QStringLiteral("Неверное время в регистре: 0x%1");
inline const QString timerMarksNotWritten = QStringLiteral(
        "Метки времени %1 не являются допустимым временем. Задайте их, затем запишите расписание.");
// Values and changes belong to the relay they were read from or made for.
inline const QString changesDropped = QStringLiteral(
        "Изменения для устройства №%1 (заводской №%2), не записанные в него, сброшены: выбрано другое устройство.");
inline const QString changesOfAnotherRelay = QStringLiteral(
        "Значения в таблице относятся к устройству №%1 (заводской №%2), а выбрано устройство №%3: "
        "ничего не записано. Выберите устройство в списке заново.");
// Writing the configuration: marked rows that may not be sent, rows the relay refused.
inline const QString configValuesInvalid =
        QStringLiteral("Значения не записаны: недопустимые значения в строках:\n%1");
inline const QString configValuesNotTaken =
        QStringLiteral("Устройство не приняло значения в строках (отметка «*» сохранена):\n%1");
// A configuration write cut short by the link: %1 the rows not confirmed
// (they keep their marks), %2 those the relay took.
inline const QString configWriteInterrupted = QStringLiteral(
        "Запись прервана. Не записаны или не подтверждены устройством (отметка «*» сохранена):\n%1");
inline const QString configRowsWritten = QStringLiteral("Записаны:\n%1");
// A timer write cut short: %1 the values not written or not confirmed.
inline const QString timerWriteInterrupted =
        QStringLiteral("Запись таймера прервана. Не записаны или не подтверждены устройством:\n%1");
// The operator stopped the writes: the exchange under way was finished, no
// further request was sent.
inline const QString writesStopped = QStringLiteral(
        "Запись остановлена по требованию оператора: следующие запросы не посылались.");
// Live values and relay commands.
inline const QString relayRefused =
        QStringLiteral("Устройство отказалось выполнить запрос (код исключения %1)");
// A service field or a number typed for the relay that is no whole number of its range.
inline const QString notAWholeNumber = QStringLiteral("«%1» не является допустимым целым числом");
inline const QString currentsFlowing = QStringLiteral("Есть токи! Отключите двигатель!");
inline const QString acknowledgeWarning =
        QStringLiteral("Внимание! Квитирование приводит к пуску двигателя!");
inline const QString relayControlWarning =
        QStringLiteral("Внимание! Для управления реле необходимо отключить двигатель!");
} // namespace Texts

} // namespace miv
