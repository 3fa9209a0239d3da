#!/usr/bin/python3
"""Interoperability of Quartel Setup's MODBUS ASCII with an independent implementation (pymodbus).

    modbus_interop.py DUMP_FRAMES QUARTEL_SIM

Frames: every request frame that dump_frames prints (the frames the utility sends) goes through
pymodbus's server-side ASCII framer and request decoder. Each must be accepted (LRC, function), decode
to the address, register, count and values it is meant to carry (kept below, independently of the
utility's register constants), and pymodbus must build the very same bytes from the decoded request.

Simulator: quartel-sim runs with a model-1 instrument at address 1 and a model-2 instrument at address 2;
pymodbus's serial client talks to it as another master would (reads, writes and read-backs, the status
byte, an exception for a register the model lacks, silence at an absent address), and every value is
compared with the instrument's defaults.

Exit code 0 when everything passed; the last line reads "N passed, M failed".
"""

import logging
import os
import selectors
import signal
import subprocess
import sys
import time

passed = 0
failed = 0


def check(ok, what, detail=""):
    global passed, failed
    if ok:
        passed += 1
    else:
        failed += 1
        print(f"FAIL: {what}" + (f" -- {detail}" if detail else ""))
    return ok


def finish():
    print(f"{passed} passed, {failed} failed")
    sys.exit(0 if failed == 0 and passed > 0 else 1)


try:
    from pymodbus.bit_read_message import ReadCoilsRequest, ReadDiscreteInputsRequest
    from pymodbus.bit_write_message import WriteMultipleCoilsRequest
    from pymodbus.client import ModbusSerialClient
    from pymodbus.exceptions import ModbusIOException
    from pymodbus.factory import ServerDecoder
    from pymodbus.framer.ascii_framer import ModbusAsciiFramer
    from pymodbus.other_message import ReadExceptionStatusRequest
    from pymodbus.pdu import ExceptionResponse
    from pymodbus.register_read_message import ReadHoldingRegistersRequest, ReadInputRegistersRequest
    from pymodbus.register_write_message import WriteMultipleRegistersRequest, WriteSingleRegisterRequest
    import serial  # noqa: F401  (pymodbus's serial client needs pyserial)
except ImportError as exc:
    print(f"FAIL: the independent MODBUS implementation is missing ({exc}).")
    print("      Install the Debian packages python3-pymodbus and python3-serial (scripts/setup.sh does).")
    failed += 1
    finish()

# --------------------------------------------------------------------------------------------------
# What each frame must decode to. Register addresses are the instrument's documented map.
#   reads:  (function, start, count)
#   06:     (0x06, register, value)
#   10:     (0x10, start, [values])
#   0F:     (0x0F, start, [coil states])
# --------------------------------------------------------------------------------------------------
EXPECTED = {
    "read division code": (0x03, 0x1050, 1),
    "read operating mode": (0x03, 0x1010, 1),
    "read weight constants": (0x03, 0x1000, 7),
    "read set-points": (0x03, 0x0110, 2),
    "read peak": (0x03, 0x0200, 1),
    "read weight parameters": (0x03, 0x1100, 5),
    "read outputs": (0x03, 0x2000, 8),
    "read serial": (0x03, 0x3000, 8),
    "read analog": (0x03, 0x4000, 6),
    "read weight": (0x04, 0x0000, 1),
    "read weight block": (0x04, 0x0000, 5),
    "read version": (0x04, 0x0005, 1),
    "read status": (0x07,),
    "read inputs": (0x02, 0x0000, 2),
    "read coils": (0x01, 0x0000, 2),
    "command zero": (0x06, 0x0800, 0x0010),
    "command span": (0x06, 0x0800, 0x0011),
    "command store": (0x06, 0x0800, 0x0020),
    "command discard": (0x06, 0x0800, 0x0021),
    "sample weight": (0x06, 0x0801, 2500),
    "mode normal": (0x06, 0x0802, 0),
    "mode analog zero adjust": (0x06, 0x0802, 3),
    "mode analog full-scale adjust": (0x06, 0x0802, 4),
    "mode output test": (0x06, 0x0802, 5),
    "mode analog test": (0x06, 0x0802, 6),
    "analog test level 50%": (0x06, 0x0803, 32000),
    "analog test level 100%": (0x06, 0x0803, 64000),
    "analog zero adjust": (0x06, 0x4003, 1234),
    "analog full-scale adjust": (0x06, 0x4004, 57600),
    "write operating mode": (0x06, 0x1010, 2),
    "write division code": (0x06, 0x1050, 14),
    "write weight constants": (0x10, 0x1000, [0, 15000, 19876, 1, 4464, 0, 250]),
    "write set-points": (0x10, 0x0110, [1500, 0xFFFF]),
    "write weight parameters model 1": (0x10, 0x1100, [7, 3, 1, 2, 250]),
    "write weight parameters model 2": (0x10, 0x1100, [7, 3, 1, 2]),
    "write outputs": (0x10, 0x2000, [0xC001, 2, 15, 30, 0x0002, 4, 0, 99]),
    "write serial model 1": (0x10, 0x3000, [2, 5, 7, 10, 6, 1, 3, 2]),
    "write serial model 2": (0x10, 0x3000, [2, 5, 7, 10]),
    "write analog": (0x10, 0x4000, [12000, 1, 2, 6400, 57600, 100]),
    "memory reset": (0x10, 0x0800, [0x0018, 40718]),
    "force coils 00": (0x0F, 0x0000, [False, False]),
    "force coils 01": (0x0F, 0x0000, [True, False]),
    "force coils 02": (0x0F, 0x0000, [False, True]),
    "force coils 03": (0x0F, 0x0000, [True, True]),
}
ADDRESSES = (1, 26)

REQUEST_CLASS = {
    0x01: ReadCoilsRequest,
    0x02: ReadDiscreteInputsRequest,
    0x03: ReadHoldingRegistersRequest,
    0x04: ReadInputRegistersRequest,
    0x06: WriteSingleRegisterRequest,
    0x07: ReadExceptionStatusRequest,
    0x0F: WriteMultipleCoilsRequest,
    0x10: WriteMultipleRegistersRequest,
}
HEX = set(b"0123456789ABCDEF")


def decode_request(frame, address):
    """Feeds one frame to pymodbus's server-side ASCII framer; returns the requests it decoded."""
    decoded = []
    framer = ModbusAsciiFramer(ServerDecoder())
    framer.processIncomingPacket(frame, decoded.append, unit=[address])
    return decoded


def fields_match(request, expected):
    """Compares a decoded request with its expectation; returns a description of the difference."""
    fc = expected[0]
    if fc == 0x07:
        return ""
    start = expected[1]
    if request.address != start:
        return f"register {request.address:#06x}, expected {start:#06x}"
    if fc in (0x01, 0x02, 0x03, 0x04):
        if request.count != expected[2]:
            return f"count {request.count}, expected {expected[2]}"
    elif fc == 0x06:
        if request.value != expected[2]:
            return f"value {request.value}, expected {expected[2]}"
    elif fc == 0x10:
        values = expected[2]
        if request.count != len(values) or request.byte_count != 2 * len(values):
            return f"count {request.count} / bytes {request.byte_count}, expected {len(values)}"
        if list(request.values) != values:
            return f"values {list(request.values)}, expected {values}"
    elif fc == 0x0F:
        states = expected[2]
        if request.byte_count != (len(states) + 7) // 8:
            return f"byte count {request.byte_count}"
        if [bool(v) for v in request.values] != states:
            return f"coils {list(request.values)}, expected {states}"
    return ""


def check_frames(dump_frames):
    run = subprocess.run([dump_frames], capture_output=True, text=True, timeout=30, check=False)
    if not check(run.returncode == 0, "dump_frames runs", run.stderr.strip()):
        return
    seen = {a: set() for a in ADDRESSES}
    for line in run.stdout.splitlines():
        parts = line.split("\t")
        if not check(len(parts) == 3, "dump line has address, name and frame", repr(line)):
            continue
        address, name, shown = int(parts[0]), parts[1], parts[2]
        frame = shown.replace("\\r", "\r").replace("\\n", "\n").encode("ascii")
        what = f"[{address}] {name} {shown}"
        if not check(name in EXPECTED, f"{what}: a frame kind the test knows"):
            continue
        if not check(name not in seen.get(address, {name}), f"{what}: dumped once"):
            continue
        seen[address].add(name)
        expected = EXPECTED[name]

        # The frame as characters: ":" + upper-case hex pairs + CR LF, nothing else.
        body = frame[1:-2]
        check(
            frame.startswith(b":")
            and frame.endswith(b"\r\n")
            and len(body) >= 6
            and len(body) % 2 == 0
            and set(body) <= HEX,
            f"{what}: ':' + upper-case hex pairs + CR LF",
        )

        try:
            decoded = decode_request(frame, address)
        except Exception as exc:  # pymodbus refuses by raising
            check(False, f"{what}: accepted by pymodbus", repr(exc))
            continue
        if not check(len(decoded) == 1, f"{what}: accepted by pymodbus (LRC, address, function)",
                     f"{len(decoded)} requests decoded"):
            continue
        request = decoded[0]
        fc = expected[0]
        check(isinstance(request, REQUEST_CLASS[fc]), f"{what}: decoded as {REQUEST_CLASS[fc].__name__}",
              type(request).__name__)
        check(request.function_code == fc, f"{what}: function {fc:02X}", f"{request.function_code:02X}")
        check(request.unit_id == address, f"{what}: address {address}", str(request.unit_id))
        difference = fields_match(request, expected)
        check(not difference, f"{what}: decoded fields", difference)
        # pymodbus, encoding what it decoded, must produce the very same frame.
        rebuilt = ModbusAsciiFramer(ServerDecoder()).buildPacket(request)
        check(rebuilt == frame, f"{what}: pymodbus builds the same bytes", repr(rebuilt))

    for a in ADDRESSES:
        missing = sorted(set(EXPECTED) - seen[a])
        check(not missing, f"every frame kind dumped for address {a}", ", ".join(missing))

    # The decoder is not a blind pass: a wrong LRC or a frame for another address is refused (pymodbus
    # logs the refusal as an error; it is expected here).
    logging.getLogger("pymodbus").setLevel(logging.CRITICAL)
    check(decode_request(b":0107F7\r\n", 1) == [], "pymodbus refuses a wrong LRC")
    check(decode_request(b":0107F8\r\n", 2) == [], "pymodbus ignores a frame for another address")
    logging.getLogger("pymodbus").setLevel(logging.NOTSET)


# --------------------------------------------------------------------------------------------------
# The simulator and pymodbus as another master
# --------------------------------------------------------------------------------------------------
def start_simulator(sim):
    proc = subprocess.Popen([sim, "--vxa", "1", "--vxb", "2"], stdout=subprocess.PIPE)
    sel = selectors.DefaultSelector()
    sel.register(proc.stdout, selectors.EVENT_READ)
    line = b""
    deadline = time.monotonic() + 15
    while not line.endswith(b"\n") and time.monotonic() < deadline:
        if not sel.select(timeout=max(0.0, deadline - time.monotonic())):
            break
        chunk = os.read(proc.stdout.fileno(), 256)
        if not chunk:
            break
        line += chunk
    sel.close()
    return proc, line.decode().strip()


def stop_simulator(proc):
    if proc.poll() is None:
        proc.send_signal(signal.SIGTERM)
        try:
            proc.wait(timeout=10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()
            check(False, "quartel-sim stops on SIGTERM")
            return
    check(proc.returncode == 0, "quartel-sim stops on SIGTERM with exit code 0", str(proc.returncode))


def ok_response(r):
    return r is not None and not isinstance(r, (ModbusIOException, ExceptionResponse)) and not r.isError()


def expect_registers(r, values, what):
    if check(ok_response(r), f"{what}: answered", str(r)):
        check(list(r.registers) == values, f"{what}: registers", f"{list(r.registers)}, expected {values}")


def expect_bits(r, values, what):
    if check(ok_response(r), f"{what}: answered", str(r)):
        check([bool(b) for b in r.bits[: len(values)]] == values, f"{what}: bits",
              f"{list(r.bits)}, expected {values}")
        check(not any(r.bits[len(values):]), f"{what}: padding bits are 0", str(list(r.bits)))


def expect_exception(r, function, code, what):
    if check(isinstance(r, ExceptionResponse), f"{what}: exception reply", str(r)):
        check(r.function_code == function | 0x80, f"{what}: function {function | 0x80:02X}",
              f"{r.function_code:02X}")
        check(r.exception_code == code, f"{what}: exception code {code}", str(r.exception_code))


def talk_to_simulator(client):
    # --- holding registers: defaults of both models --------------------------------------------------
    expect_registers(client.read_holding_registers(0x1050, 1, slave=1), [9], "03 division code, model 1")
    expect_registers(client.read_holding_registers(0x1050, 1, slave=2), [9], "03 division code, model 2")
    expect_registers(client.read_holding_registers(0x1010, 1, slave=1), [0], "03 operating mode, model 1")
    expect_registers(client.read_holding_registers(0x1000, 7, slave=1),
                     [0, 10000, 20000, 0, 10000, 0, 0], "03 weight constants")
    expect_registers(client.read_holding_registers(0x0110, 2, slave=1), [1000, 2000], "03 set-points")
    expect_registers(client.read_holding_registers(0x1100, 5, slave=2), [5, 2, 0, 2, 100],
                     "03 weight parameters, model 2")
    expect_registers(client.read_holding_registers(0x2000, 8, slave=1), [0, 2, 0, 0, 0, 2, 0, 0],
                     "03 outputs")
    expect_registers(client.read_holding_registers(0x3000, 8, slave=2), [1, 5, 2, 0, 6, 0, 1, 0],
                     "03 serial, model 2 at address 2")
    expect_registers(client.read_holding_registers(0x4000, 6, slave=1), [10000, 0, 1, 6400, 57600, 0],
                     "03 analog")

    # --- input registers, discrete inputs, coils, status -----------------------------------------------
    # net 0, gross 0, internal points 2096000 (high word 31, low word 64384), signal 0, version 32
    expect_registers(client.read_input_registers(0, 6, slave=1), [0, 0, 31, 64384, 0, 32],
                     "04 input registers 0..5")
    expect_registers(client.read_input_registers(5, 1, slave=2), [32], "04 version, model 2")
    expect_bits(client.read_discrete_inputs(0, 2, slave=1), [False, False], "02 inputs")
    expect_bits(client.read_coils(0, 2, slave=1), [False, False], "01 coils")
    r = client.read_exception_status(slave=1)
    if check(ok_response(r), "07 status: answered", str(r)):
        check(r.status == 0x04, "07 status: stable bit only", f"{r.status:#04x}")

    # --- writes and read-backs ------------------------------------------------------------------------
    r = client.write_register(0x0110, 1234, slave=1)
    if check(ok_response(r), "06 set-point 1: echo", str(r)):
        check((r.address, r.value) == (0x0110, 1234), "06 set-point 1: echo fields",
              f"{r.address} {r.value}")
    expect_registers(client.read_holding_registers(0x0110, 2, slave=1), [1234, 2000],
                     "06 set-point 1: read back")

    values = [7, 3, 1, 4, 65535]
    r = client.write_registers(0x1100, values, slave=1)
    if check(ok_response(r), "10 weight parameters: echo", str(r)):
        check((r.address, r.count) == (0x1100, 5), "10 weight parameters: echo fields",
              f"{r.address} {r.count}")
    expect_registers(client.read_holding_registers(0x1100, 5, slave=1), values,
                     "10 weight parameters: read back")

    # Forced coils show through function 01 in the output test mode only.
    r = client.write_register(0x0802, 5, slave=1)
    check(ok_response(r) and r.value == 5, "06 output test mode: echo", str(r))
    for states in ([True, False], [False, True], [True, True]):
        r = client.write_coils(0, states, slave=1)
        if check(ok_response(r), f"0F coils {states}: echo", str(r)):
            check((r.address, r.count) == (0, 2), f"0F coils {states}: echo fields", f"{r.address} {r.count}")
        expect_bits(client.read_coils(0, 2, slave=1), states, f"0F coils {states}: read back")
    r = client.write_register(0x0802, 0, slave=1)
    check(ok_response(r) and r.value == 0, "06 normal mode: echo", str(r))
    expect_bits(client.read_coils(0, 2, slave=1), [False, False], "01 coils released in normal mode")

    # --- registers the model lacks, a function the instrument does not have ---------------------------
    expect_exception(client.read_holding_registers(0x1010, 1, slave=2), 0x03, 2,
                     "03 operating mode on model 2")
    expect_exception(client.read_holding_registers(0x4000, 6, slave=2), 0x03, 2, "03 analog block on model 2")
    expect_exception(client.write_register(0x2000, 1, slave=2), 0x06, 2, "06 output register on model 2")
    expect_exception(client.read_holding_registers(0x1006, 2, slave=1), 0x03, 2, "03 read past a block")
    expect_exception(client.write_coil(0, True, slave=1), 0x05, 1, "05 write single coil (not supported)")

    # --- an absent address stays silent -------------------------------------------------------------
    r = client.read_holding_registers(0x1050, 1, slave=5)
    check(isinstance(r, ModbusIOException), "03 to absent address 5: no reply", str(r))
    expect_registers(client.read_holding_registers(0x1050, 1, slave=1), [9],
                     "03 division code after the silence")


def check_simulator(sim):
    proc, path = start_simulator(sim)
    try:
        if not check(path.startswith("/"), "quartel-sim prints the path of its terminal", repr(path)):
            return
        client = ModbusSerialClient(port=path, framer=ModbusAsciiFramer, baudrate=19200, bytesize=8,
                                    parity="N", stopbits=1, timeout=3)
        if not check(client.connect(), f"pymodbus opens {path}"):
            return
        try:
            talk_to_simulator(client)
        except Exception as exc:  # an error inside pymodbus counts as a failure, not a crash
            check(False, "pymodbus talks to quartel-sim", repr(exc))
        finally:
            client.close()
    finally:
        stop_simulator(proc)


def main():
    if len(sys.argv) != 3:
        print("usage: modbus_interop.py DUMP_FRAMES QUARTEL_SIM")
        check(False, "arguments")
        finish()
    try:
        check_frames(sys.argv[1])
    except Exception as exc:
        check(False, "frames decoded by pymodbus", repr(exc))
    check_simulator(sys.argv[2])
    finish()


if __name__ == "__main__":
    main()
