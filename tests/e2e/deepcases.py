"""The deep resolver exchange seen from outside, shared by the Linux and the Windows program's
test files: a deep resolution server's answer in the engine's words, and probes that nobody
answers."""

import socket

from zyntest import DEFAULT_OPTIONS, expected_engine_words, system_state
from zynnet import DEEP_PORT, DeepResolver, Network, deep_answer

ORBITALS = ("orb1.example.net:4000", "orb2.example.net:4000")
PROBE = b"ZYN_DEEP_RESOLVER_DISCOVER;"
IP_PKTINFO = getattr(socket, "IP_PKTINFO", 8)  # Linux's number; Python names it from 3.12 on


class ProbeCatcher:
    """Every datagram to the deep resolution port of any local address, kept in arrival order
    with the address it was sent to; none is answered."""

    def __init__(self, test):
        self.sock = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
        test.addCleanup(self.sock.close)
        self.sock.setsockopt(socket.IPPROTO_IP, IP_PKTINFO, 1)
        self.sock.bind(("0.0.0.0", DEEP_PORT))
        self.sock.setblocking(False)

    def received(self):
        """(destination address, datagram) for each datagram that has arrived so far."""
        found = []
        while True:
            try:
                data, ancillary, _, _ = self.sock.recvmsg(65536, socket.CMSG_SPACE(12))
            except BlockingIOError:
                return found
            # struct in_pktinfo: interface index, local address, then the header's destination.
            (destination,) = [socket.inet_ntoa(value[8:12]) for level, kind, value in ancillary
                              if level == socket.IPPROTO_IP and kind == IP_PKTINFO]
            found.append((destination, data))


class DeepResolverCases:
    """Mixed into a LaunchTestCase whose launch(scratch) runs one launch to its end."""

    def engine_args(self, scratch):
        starts = scratch.stub_starts(expected=2)
        self.assertEqual([s.name for s in starts], ["zynEngine.exe", "zynUI.exe"])
        return starts[0].args

    def test_an_answer_reaches_the_engine_and_a_port_of_the_users_own_keeps_its_port_out(self):
        net = Network(self)
        deep = net.start(DeepResolver, [deep_answer("10.0.0.9", 4000)])
        answer = ["-deepserver", deep.address, "-deepip", "10.0.0.9"]
        cases = {  # the user's configuration: the options after the default ones
            None: DEFAULT_OPTIONS + answer + ["-deepport", "4000"],
            ("[ZynUserConfig]", "zynDeepPort=5000"): ["-deepport", "5000"] + answer,
        }
        for config, options in cases.items():
            with self.subTest(config):
                scratch = self.scratch()
                # A listed server that nobody serves first: the answer still counts.
                scratch.prepare_launch(state=system_state(deep=("127.0.0.9", deep.address)),
                                       user_config=config)
                result = self.launch(scratch)
                self.assertEqual(result.returncode, 0)
                self.assertEqual(self.engine_args(scratch),
                                 expected_engine_words(ORBITALS, options))
                # The found picture comes with the answer, between the scan and stage 6.
                lines = result.lines
                scan = lines.index("status scanning 2 deep resolution servers..")
                self.assertEqual(lines.index("picture 131"), scan + 1)
                self.assertEqual(lines[scan + 2], "progress 90")
        self.assertEqual(len(deep.probes()), 2)

    def test_probes_nobody_answers_go_out_in_list_order_and_leave_the_engine_without_options(self):
        catcher = ProbeCatcher(self)
        scratch = self.scratch()
        servers = ("127.0.0.7", "no-such-host.invalid", "127.0.0.6", "127.0.0.8")
        scratch.prepare_launch(state=system_state(deep=servers))
        result = self.launch(scratch)
        self.assertEqual(result.returncode, 0)
        self.assertEqual(catcher.received(),
                         [(server, PROBE) for server in ("127.0.0.7", "127.0.0.6", "127.0.0.8")])
        self.assertEqual(self.engine_args(scratch),
                         expected_engine_words(ORBITALS, DEFAULT_OPTIONS))
        self.assertEqual([l for l in result.lines if l.startswith("picture")], [])
