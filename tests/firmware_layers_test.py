#!/usr/bin/env python3
"""The firmware's include floors: the tree as it stands passes, and a planted upward include,
an include of a folder without a floor and one of a missing file each fail with the edge named."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

CHECK, FIRMWARE, LAYERS = sys.argv[1:4]


def run(firmware):
    return subprocess.run([sys.executable, CHECK, firmware, LAYERS], capture_output=True, text=True)


class Floors(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp()
        self.fw = os.path.join(self.dir, 'firmware')
        shutil.copytree(FIRMWARE, self.fw)

    def tearDown(self):
        shutil.rmtree(self.dir)

    def plant(self, rel, include):
        with open(os.path.join(self.fw, rel), 'a', encoding='utf-8') as f:
            f.write(f'\n#include "{include}"\n')

    def test_tree_passes(self):
        r = run(FIRMWARE)
        self.assertEqual(r.returncode, 0, r.stderr)

    def test_upward_include_fails(self):
        self.plant('devices/KT_beep.cpp', '../command/parse_command.h')
        r = run(self.fw)
        self.assertEqual(r.returncode, 1)
        self.assertIn('devices/KT_beep.cpp: includes "../command/parse_command.h": devices reaches up to command',
                      r.stderr)

    def test_include_from_firmware_root_is_resolved(self):
        self.plant('gui/LCD.cpp', 'touch/KT_touch.h')
        r = run(self.fw)
        self.assertEqual(r.returncode, 1)
        self.assertIn('gui reaches up to touch', r.stderr)

    def test_listed_edge_passes_only_from_its_file(self):
        self.plant('comm/Rtosinit.cpp', '../touch/KT_touch.h')  # listed: a download serves touch
        self.assertEqual(run(self.fw).returncode, 0)
        self.plant('comm/Rtosinit.h', '../touch/KT_touch.h')  # the same edge from another file
        self.assertEqual(run(self.fw).returncode, 1)

    def test_downward_include_passes(self):
        self.plant('command/cmd_draw.cpp', '../devices/KT_beep.h')
        self.assertEqual(run(self.fw).returncode, 0)

    def test_folder_without_floor_and_missing_file_fail(self):
        os.mkdir(os.path.join(self.fw, 'extra'))
        with open(os.path.join(self.fw, 'extra', 'x.cpp'), 'w', encoding='utf-8') as f:
            f.write('#include "../types.h"\n')
        r = run(self.fw)
        self.assertEqual(r.returncode, 1)
        self.assertIn('folder extra has no floor', r.stderr)
        shutil.rmtree(os.path.join(self.fw, 'extra'))
        self.plant('gui/GUI.cpp', '../nowhere/none.h')
        r = run(self.fw)
        self.assertEqual(r.returncode, 1)
        self.assertIn('which is no firmware file', r.stderr)


if __name__ == '__main__':
    unittest.main(argv=sys.argv[:1])
