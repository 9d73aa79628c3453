#!/usr/bin/env python3
"""Writes the seed corpora of the fuzz targets into fuzz/corpus/<target>/.

The seeds are small, valid inputs of each kind (bus replies as relays send
them, "front.ini" and settings files as the program writes them, argument
lists of mivctl), so that the fuzzer starts from the formats instead of
discovering them. Run it again after changing a target's input layout:
    fuzz/make-corpus.py
"""
import os
import struct

HERE = os.path.dirname(os.path.abspath(__file__))


def crc16(data):
    crc = 0xFFFF
    for byte in data:
        crc ^= byte
        for _ in range(8):
            crc = (crc >> 1) ^ 0xA001 if crc & 1 else crc >> 1
    return crc


def with_crc(frame):
    frame = bytes(frame)
    return frame + struct.pack('<H', crc16(frame))


def write(target, name, data):
    folder = os.path.join(HERE, 'corpus', target)
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, name), 'wb') as f:
        f.write(data)


# ---- bus: operation, address, a, b, how, reply length, reply ---------------
STATUS, READ, WRITE_REGISTER, WRITE_COIL, WRITE_BLOCK = range(5)


def bus_step(operation, address, a, b, reply, how=0x10):
    return bytes([operation, address]) + struct.pack('>HHB', a, b, how) + bytes([len(reply)]) + reply


def echo(address, function, a, b):
    return with_crc(bytes([address, function]) + struct.pack('>HH', a, b))


def bus_seeds():
    read5 = with_crc(bytes([1, 3, 10]) + bytes(range(10)))
    seeds = {
        'status': bus_step(STATUS, 1, 0, 0, with_crc([1, 7, 5])),
        'status-refused': bus_step(STATUS, 1, 0, 0, with_crc([1, 0x87, 1])),
        'status-late-other-relay': bus_step(STATUS, 6, 0, 0, with_crc([1, 7, 0]) + with_crc([6, 7, 2])),
        'read': bus_step(READ, 1, 0, 5, read5),
        'read-in-pieces': bus_step(READ, 1, 0, 5, read5, how=0x30),
        'read-noise-first': bus_step(READ, 1, 0, 5, b'\xff\x00\x13' + read5),
        'read-refused': bus_step(READ, 1, 0x400, 11, with_crc([1, 0x83, 2])),
        'read-bad-crc': bus_step(READ, 1, 0, 5, read5[:-1] + b'\x00'),
        'read-crc-added': bus_step(READ, 17, 0x50, 2, bytes([17, 3, 4, 0, 10, 0, 250]), how=0x11),
        'read-silent-retries': bus_step(READ, 1, 0, 5, read5, how=0x1a),
        'write-register': bus_step(WRITE_REGISTER, 6, 0x50, 100, echo(6, 6, 0x50, 100)),
        'write-refused': bus_step(WRITE_REGISTER, 6, 0x50, 9999, with_crc([6, 0x86, 3])),
        'write-broadcast': bus_step(WRITE_REGISTER, 0, 0x73, 0x1902, b''),
        'write-coil': bus_step(WRITE_COIL, 1, 768, 0xFF00, echo(1, 5, 768, 0xFF00)),
        'write-block': bus_step(WRITE_BLOCK, 1, 0x73, 3, echo(1, 0x10, 0x73, 3)),
        'sequence': bus_step(STATUS, 1, 0, 0, with_crc([1, 7, 0]))
        + bus_step(READ, 1, 0, 5, read5 + b'\x01\x03')
        + bus_step(WRITE_REGISTER, 1, 0x51, 250, echo(1, 6, 0x51, 250))
        + bus_step(READ, 1, 0, 5, b'', how=0x12)
        + bus_step(READ, 1, 0, 5, read5),
    }
    for name, data in seeds.items():
        write('bus', name, data)


# ---- sim: setup byte, then pieces (mode, length, bytes) ---------------------
def piece(mode, data):
    return bytes([mode, len(data)]) + bytes(data)


def sim_seeds():
    read = bytes([1, 3, 0, 0, 0, 5])
    seeds = {
        'read-framed': b'\x00' + piece(1, read),
        'read-raw': b'\x00' + piece(0, with_crc(read)),
        'status-and-journal': b'\x00' + piece(1, [6, 7]) + piece(1, [6, 3, 4, 0, 0, 11]),
        'write-register': b'\x00' + piece(1, [1, 6, 0, 0x50, 0, 20]),
        'write-clock': b'\x00' + piece(1, [1, 6, 0, 0x73, 0x19, 0x02]) + piece(1, [1, 6, 0, 0x74, 0x1D, 0x17]),
        'write-coil': b'\x00' + piece(1, [1, 5, 3, 0, 0xFF, 0]),
        'write-block': b'\x00' + piece(1, [6, 0x10, 0, 0x76, 0, 2, 4, 6, 0, 12, 30]),
        'broadcast': b'\x00' + piece(1, [0, 6, 0, 0x40, 0, 3]),
        'split-request': b'\x00' + piece(0, with_crc(read)[:3]) + piece(0, with_crc(read)[3:]),
        'noise-then-request': b'\x00' + piece(0, b'\x55\xaa\x01' + with_crc(read)),
        'answer-direct': b'\x00' + piece(2, [17, 3, 0, 0x50, 0, 27]),
        'pdu-direct': b'\x00' + piece(3, [0x10, 0, 0x42, 0, 2, 4, 0x41, 0x42, 0x43, 0x44]),
        'faults': b'\x02\x1e' + piece(1, [6, 3, 0, 0, 0, 5]),
        'random-faults': b'\x05\x32\x07' + piece(1, read) + piece(1, read) + piece(1, read),
    }
    for name, data in seeds.items():
        write('sim', name, data)


# ---- ini: "front.ini" files -------------------------------------------------
def cp1251(text):
    return text.encode('cp1251')


def ini_seeds():
    front = ('[p]\r\nPort=COM3\r\nBaudRate=9600\r\nStopBits=1\r\nDataBits=8\r\nParity=None\r\n'
             'FlowControl=None\r\n[bus]\r\nScanWaitMs=120\r\nRetries=2\r\nTransport=serial\r\n')
    seeds = {
        'front-crlf.ini': cp1251(front),
        'front-lf.ini': cp1251(front.replace('\r\n', '\n')),
        'custom-baud.ini': cp1251('[P]\nport = /dev/ttyUSB0 \nbaudrate=custom\nCustomBaudRate=250000\n'
                                  'StopBits=1.5\nParity=mark\nDataBits=7\n'),
        'gateway.ini': cp1251('[bus]\r\nTransport=tcp\r\nGateway=[fe80::1]:502\r\nRetries=9\r\nScanWaitMs=5000\r\n'
                              '[p]\r\nPort=ttyS0\r\nBaudRate=38400\r\nParity=Even\r\nStopBits=2\r\n'),
        'comments-and-duplicates.ini': cp1251('; настройки порта\n# комментарий\n[p]\nPort=COM1\nPort=COM2\n\n'
                                              '[other]\nkey=value\n[p]\nBaudRate=19200\nnot a key line\n=no key\n'),
        'cyrillic-and-0x98.ini': cp1251('[p]\r\nPort=Порт\r\n') + b'Parity=\x98\r\nBaudRate=9600',
        'no-final-line-end.ini': cp1251('[p]\r\nPort=COM7'),
    }
    for name, data in seeds.items():
        write('ini', name, data)


# ---- settings_file: "*.miv" files ---------------------------------------------
KEYS = [
    "Коэффициент трансформации", "Номинальный ток электродвигателя, А", "Номинальный ток 2-й ступени , А",
    "Кратность перегрузки", "Минимальный ток электродвигателя, %", "Диапазон асимметрии токов, %", "Ток утечки, %",
    "Сопротивление изоляции, МОм", "Номинальное напряжение, В", "Максимальное напряжение, В",
    "Минимальное напряжение, В", "Гистерезис минимального напряжения, %", "Максимальная температура, °C",
    "Количество повторных пусков", "Задержка до пуска, с", "Время пуска, с", "Время до повторного пуска, с",
    "Задержка по минимальному току, с", "Задержка по блокировке ротора, с", "Задержка по асимметрии, с",
    "Задержка по мин./макс. напряжению, с", "Время включения реле КЗ, с", "Время выключения реле КЗ, с",
    "Функция короткозамкнутого ротора", "Контроль минимального тока", "Контроль сопротивления изоляции",
    "Контроль залипания контактов", "Контроль тока утечки", "Функция импульсного режима реле перегрузки КЗ",
    "2-ая ступень электродвигателя", "Контроль чередования фаз", "Алгоритм накачки/выкачки резервуара",
]
ON, OFF, DISABLED = 'вкл.', 'откл.', '[фукнк. откл.]'
TYPE_FOUR = ["10", "25,0", "30,0", "2,5", "40", "30", "5", "0,5", "220", "250", "180", "10",
             "80", "3", "5", "10", "60", "10", "5,0", "5", "5", "5", "5",
             ON, ON, ON, OFF, ON, OFF, OFF, ON, DISABLED]


def settings_file(values, marks, captions, line_end='\r\n'):
    lines = ['[Параметры]'] + [f'{k}={v}' for k, v in zip(KEYS, values)]
    lines += ['[Таймеры]'] + [f'Метка{i + 1}={m}' for i, m in enumerate(marks)]
    lines += [f'Интервал{i + 1}={c}' for i, c in enumerate(captions[:6])] + [f'Таймер={captions[6]}']
    return cp1251(line_end.join(lines) + line_end)


def settings_seeds():
    unread_marks = ['00:00:00'] * 5
    type_six = TYPE_FOUR[:31] + [ON]
    ratio_five = ["5", "12,5", "15,0"] + TYPE_FOUR[3:]
    seeds = {
        'type-4.miv': settings_file(TYPE_FOUR, unread_marks, [''] * 7),
        'type-6-timer.miv': settings_file(type_six, ['06:00:00', '8:30', '12:00:00', '18:45', '23:59:59'],
                                          [ON, OFF, ON, OFF, ON, OFF, ON]),
        'ratio-5-lf.miv': settings_file(ratio_five, unread_marks, [''] * 7, line_end='\n'),
        'refused-values.miv': cp1251('[Параметры]\r\nКоэффициент трансформации=7\r\n'
                                     'Номинальный ток электродвигателя, А=999,9\r\nКратность перегрузки=2.5\r\n'
                                     'Контроль тока утечки=да\r\n[Таймеры]\r\nМетка1=25:00\r\nТаймер=on\r\n'),
        'timers-only.miv': cp1251('[Таймеры]\nМетка3=7:05:09\nИнтервал2=вкл.\n'),
        'switches-off.miv': cp1251('[Параметры]\r\n' + ''.join(f'{k}={OFF}\r\n' for k in KEYS[23:31])),
    }
    for name, data in seeds.items():
        write('settings_file', name, data)


# ---- workbook: mode byte, then the mode's fields ------------------------------
def journal_reply(code, day, month, year, hour, minute, second, details=b''):
    entry = bytes([code, day, month, year, hour, minute, second, 0]) + details
    entry = entry.ljust(22, b'\0')
    return bytes([1, 3, 22]) + entry


def short(data):
    return bytes([len(data)]) + data


def utf16(text):
    return text.encode('utf-16-le')


def workbook_seeds():
    relay_name = cp1251('МИВ-04 Н04')
    report = (b'\x00\x0f' + relay_name + struct.pack('>H', 1234) + short(cp1251('1.08')) + struct.pack('>HHH', 0, 0x6700, 0x5A00)
              + short(journal_reply(16, 5, 11, 9, 8, 4, 0, bytes([0, 0, 4, 76, 30])))
              + short(journal_reply(31, 3, 3, 25, 7, 30, 0, struct.pack('>7H', 225, 224, 226, 2, 265, 266, 264)))
              + short(journal_reply(44, 1, 2, 24, 23, 59, 59, bytes([0, 5])))
              + short(journal_reply(5, 1, 1, 0, 0, 0, 0)))
    workbook = (b'\x01'
                + b'\x00' + short(utf16('Arial Cyr')) + struct.pack('<d', 12) + b'\x01\xcc'
                + b'\x01' + b'\x00\x00\x01' + b'\xf1' + b'\x00\x00\x02'
                + b'\x02' + short(utf16('Журнал'))
                + b'\x03' + b'\x00\x00\x05' + b'\x00\x00\x02' + short(utf16('Текст ячейки')) + b'\x00\x00\x01'
                + b'\x04' + b'\x00\x00\x06' + b'\x00\x00\x02' + struct.pack('<d', -1.5) + b'\x00\x00\x00'
                + b'\x06' + b'\x00\x00\x01' + b'\x00\x00\x01' + b'\x00\x00\x00' + b'\x00\x00\x03'
                + b'\x07' + b'\x00\x00\x01' + b'\x00\x00\x40'
                + b'\x08' + b'\x00\x00\x02' + struct.pack('<d', 30)
                + b'\x09' + b'\x00\x00\x09' + b'\x01' + b'\x00\x00\x32' + struct.pack('<dd', 0.5, 1)
                + short(utf16('&P')) + short(utf16('Страница &P из &N'))
                + b'\x0a' + short(utf16('__MAIN__')) + b'\x00\x00\x00' + b'\x00\x00\x00\x00\x00\x09\x00\x00\x00\x00\x00\x03')
    seeds = {
        'report': report,
        'report-empty': b'\x00\x00',
        'workbook': workbook,
        'workbook-no-sheet': b'\x01\x01\x00\x00\x01\x00\x00\x00\x00',
        'compound': b'\x02' + short(utf16('Workbook')) + b'\x41\x12\x34',
        'compound-long-name': b'\x02' + short(utf16('N' * 40)) + b'\x00\x00\x10',
    }
    for name, data in seeds.items():
        write('workbook', name, data)


# ---- cli: arguments separated by NUL ------------------------------------------
def cli_seeds():
    lines = {
        'scan': ['scan'],
        'help': ['--help'],
        'options-info': ['--port', '/dev/ttyUSB0', '--baud', '9600', '--parity', 'even', '--data-bits', '7',
                         '--stop-bits', '1.5', '--timeout', '500', 'info', '17'],
        'options-equals': ['--port=tcp://[::1]:5020', '--scan-wait=40', '--retries=3', '--trace', '--yes', 'scan'],
        'config-read': ['config', 'read', '1', '--save', 'relay.miv'],
        'config-read-dir': ['config', 'read', '1,3-5', '--save-dir', 'out'],
        'config-write': ['config', 'write', '1-3,6', '--password', 'ABCD', '--load', 'relay.miv'],
        'config-diff': ['config', 'diff', '6', 'relay.miv'],
        'timer-read': ['timer', 'read', '6'],
        'timer-write': ['timer', 'write', '6', '--password', 'ABCD', '--marks', '06:00,8:30,12:00,18:45,23:59',
                        '--intervals', 'on,off,on,off,on,off', '--timer', 'on'],
        'password': ['password', '1', '--old', 'ABCD', '--new', 'DCBA'],
        'live': ['live', '1', '--watch', '0.5', '--csv', 'trend.csv'],
        'overview': ['overview', '--addresses', '1,6,17-20', '--watch', '2', '--csv'],
        'command-clock': ['command', '1', 'clock-set', '01.02.2024 10:00:00'],
        'command-output': ['command', '6', 'output', 'work', 'on'],
        'command-resource': ['command', '1', 'motor-resource', '100', '30'],
        'command-serial': ['command', '1', 'serial', '4321'],
        'journal': ['journal', '1', '--xls', 'journal.xls', '--csv', 'journal.csv'],
        'audit': ['audit', '--since', '2024-01-31T08:00'],
        'find': ['find', '--addresses', '1-32,100'],
        'config-sheet': ['config', 'sheet', '6', '--xls', 'sheet.xls', '--pdf', 'sheet.pdf'],
        'settings-show': ['settings', 'show', 'relay.miv', '--type', '6'],
        'settings-set': ['settings', 'set', 'relay.miv', '--type', '6', '0=20', '1=25.0',
                         'Кратность перегрузки=2,5', '23=откл.', 'Метка1=7:30', 'Таймер=вкл.'],
        'settings-sheet': ['settings', 'sheet', 'relay.miv', '--type', '4', '--csv', 'sheet.csv'],
    }
    for name, arguments in lines.items():
        write('cli', name, '\0'.join(arguments).encode('utf-8'))


if __name__ == '__main__':
    bus_seeds()
    sim_seeds()
    ini_seeds()
    settings_seeds()
    workbook_seeds()
    cli_seeds()
