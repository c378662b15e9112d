#!/usr/bin/env python3
"""cadenza-sim through a VISA client not written here: Debian's pyvisa with
the pyvisa-py backend, over the raw socket and over VXI-11 found through the
simulator's own portmapper. Only 127.0.0.1 is used.

  sim_outside_client.py --port N --portmap-port P --wave FILE

Prints one "ok NAME" or "FAIL NAME: detail" line per check; the exit status
is 1 when any check failed.
"""
import argparse
import sys
import threading
import time

import pyvisa
from pyvisa import constants, errors
from pyvisa_py.protocols import rpc, vxi11

IDN = "Torvane,Kaldra,102030,4.20.1.5"
FULL_OPTIONS = "KLD-M64,KLD-M16,KLD-RFA30,KLD-RFB30"
NO_ERROR = '0,"No error"'
failures = []


def check(name, ok, detail=""):
    print(("ok " if ok else "FAIL ") + name + ("" if ok else ": " + str(detail)), flush=True)
    if not ok:
        failures.append(name)


def visa_error(call):
    """The VISA status a call fails with, None when it succeeds."""
    try:
        call()
    except errors.VisaIOError as e:
        return e.error_code
    return None


def common_checks(inst, where, wave):
    check(where + " *IDN?", inst.query("*IDN?") == IDN)
    opt = inst.query("*OPT?")
    check(where + " *OPT? lists both baseband paths", opt == FULL_OPTIONS, opt)

    # Error queue and status registers: a command error shows in bit 2 of the
    # status byte and bit 5 of the event status register; reading the
    # register clears it, *CLS clears both.
    inst.write("*CLS")
    inst.write("BOGUS:HEADER 1")
    stb = int(inst.query("*STB?"))
    check(where + " *STB? error queue bit", stb & 0x04 == 0x04, stb)
    esr = int(inst.query("*ESR?"))
    check(where + " *ESR? command error", esr == 0x20, esr)
    check(where + " *ESR? cleared by reading", int(inst.query("*ESR?")) == 0)
    err = inst.query("SYST:ERR?")
    check(where + " error queue", err == '-113,"Undefined header"', err)
    check(where + " error queue empty", inst.query("SYST:ERR?") == NO_ERROR)
    check(where + " *STB? clear", int(inst.query("*STB?")) == 0)
    inst.write("*ESE 32;*SRE 32")
    check(where + " *ESE? *SRE? kept", inst.query("*ESE?;*SRE?") == "32;32")
    inst.write("MMEM:CDIR 'D:\\missing'")  # execution error: not enabled
    check(where + " execution error not summarised", int(inst.query("*STB?")) == 0x04)
    inst.write("BOGUS")
    stb = int(inst.query("*STB?"))
    check(where + " enabled event summarised", stb == 0x04 | 0x20 | 0x40, stb)
    inst.write("*CLS")
    check(where + " *CLS", int(inst.query("*STB?")) == 0 and int(inst.query("*ESR?")) == 0)
    inst.write("*ESE 0;*SRE 0")

    # A waveform file up and back, byte for byte, in definite-length blocks.
    target = "D:\\outside_%s.wv" % where
    inst.write_binary_values(":MMEM:DATA '%s'," % target, wave, datatype="B")
    check(where + " block upload", inst.query("*OPC?;SYST:ERR?") == "1;" + NO_ERROR)
    back = inst.query_binary_values(":MMEM:DATA? '%s'" % target, datatype="B", container=bytes)
    check(where + " block read back byte-identical", back == wave, "%d of %d bytes" % (len(back), len(wave)))
    inst.write(":MMEM:DATA 'D:\\empty_%s.bin',#10" % where)
    check(where + " empty block accepted", inst.query("SYST:ERR?") == NO_ERROR)
    check(where + " empty block stored", inst.query(":MMEM:DATA? 'D:\\empty_%s.bin'" % where) == "#10")

    # Nothing to read: the read times out and the session goes on.
    inst.timeout = 300
    start = time.monotonic()
    status = visa_error(inst.read)
    check(where + " read timeout", status == constants.StatusCode.error_timeout, status)
    check(where + " timeout honoured", time.monotonic() - start < 3.0)
    inst.timeout = 3000
    check(where + " after the timeout", inst.query("*IDN?") == IDN)


def vxi11_checks(rm, inst, resource):
    # An unread reply is discarded by the next command with -410.
    inst.write("*IDN?")
    err = inst.query("SYST:ERR?")
    check("vxi11 unread reply interrupted", err == '-410,"Query INTERRUPTED"', err)
    check("vxi11 query error in *ESR?", int(inst.query("*ESR?")) == 0x04)

    # Serial poll: error queue bit, then the message-available bit.
    inst.write("BOGUS")
    check("vxi11 read_stb error bit", inst.read_stb() & 0x04 == 0x04)
    inst.write("*CLS")
    inst.write("*IDN?")
    stb = inst.read_stb()
    check("vxi11 read_stb message available", stb & 0x10 == 0x10, stb)
    check("vxi11 reply after the poll", inst.read() == IDN)
    check("vxi11 read_stb nothing waiting", inst.read_stb() & 0x10 == 0)

    # Device clear drops the waiting reply without an error.
    inst.write("*IDN?")
    inst.clear()
    check("vxi11 device clear drops the reply", inst.read_stb() & 0x10 == 0)
    check("vxi11 device clear queues nothing", inst.query("SYST:ERR?") == NO_ERROR)

    # A read with the term character stops just after its first occurrence.
    inst.write("*IDN?")
    inst.read_termination = ","
    first = inst.read()
    second = inst.read()
    inst.read_termination = None
    rest = inst.read_raw()
    inst.read_termination = "\n"
    check("vxi11 term char read", (first, second, rest) == ("Torvane", "Kaldra", b"102030,4.20.1.5\n"),
          (first, second, rest))

    # Lock: a second link is refused while the first holds it.
    other = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=3000)
    inst.lock_excl()
    check("vxi11 locked write refused", visa_error(lambda: other.write("*CLS")) is not None)
    check("vxi11 locked serial poll refused", visa_error(other.read_stb) == constants.StatusCode.error_resource_locked)
    check("vxi11 second lock refused", visa_error(other.lock_excl) == constants.StatusCode.error_resource_locked)
    check("vxi11 lock holder goes on", inst.query("*IDN?") == IDN)

    # Waiting for the lock (flag waitlock) through a core channel of our own:
    # it times out while the lock is held, and succeeds once it is released.
    core = vxi11.CoreClient("127.0.0.1")
    error, link, _, _ = core.create_link(7, False, 0, "inst0")
    check("vxi11 own link", error == 0, error)
    start = time.monotonic()
    error = core.device_lock(link, vxi11.OP_FLAG_WAIT_BLOCK, 400)
    waited = time.monotonic() - start
    check("vxi11 lock wait times out", error == vxi11.ErrorCodes.device_locked_by_another_link, error)
    check("vxi11 lock wait lasts the lock timeout", 0.35 <= waited < 3.0, waited)
    releaser = threading.Timer(0.2, inst.unlock)
    releaser.start()
    error = core.device_lock(link, vxi11.OP_FLAG_WAIT_BLOCK, 5000)
    releaser.join()
    check("vxi11 lock taken once released", error == 0, error)
    check("vxi11 unlock without the lock", visa_error(inst.unlock) == constants.StatusCode.error_session_not_locked)
    check("vxi11 unlock", core.device_unlock(link) == 0)
    check("vxi11 link after unlock", other.query("*IDN?") == IDN)
    core.destroy_link(link)
    core.close()
    other.close()


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--port", type=int, required=True)
    parser.add_argument("--portmap-port", type=int, required=True)
    parser.add_argument("--wave", required=True)
    args = parser.parse_args()
    with open(args.wave, "rb") as f:
        wave = f.read()

    # The simulator's portmapper on its own port stands in for the system's.
    rpc.PMAP_PORT = args.portmap_port
    rm = pyvisa.ResourceManager("@py")
    sock = rm.open_resource("TCPIP::127.0.0.1::%d::SOCKET" % args.port, read_termination="\n",
                            write_termination="\n", timeout=3000)
    common_checks(sock, "socket", wave)
    sock.close()

    resource = "TCPIP::127.0.0.1::inst0::INSTR"
    inst = rm.open_resource(resource, read_termination="\n", write_termination="\n", timeout=3000)
    common_checks(inst, "vxi11", wave)
    vxi11_checks(rm, inst, resource)
    inst.close()
    rm.close()
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
