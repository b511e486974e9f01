#!/usr/bin/env python3
"""scripts/check-includes.py on small trees, each planted with one fault, and on a copy of this tree planted
with one fault at a time: an include from one flow into another, written in quotes, in angle brackets, by a
form's global header or by a macro, and a lower room's include of a shared room."""
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
SCRIPT = os.path.join(SOURCE, "scripts", "check-includes.py")

# A tree that keeps every rule, with includes of generated headers that resolve to no file.
CLEAN = {
    "platform/foundation/Queue.h": "#pragma once\n#include <vector>\n",
    "platform/ui/View.h": '#include "platform/foundation/Queue.h"\n',
    "sdk/core/App.h": '#include "platform/foundation/Queue.h"\n',
    "app/store/Records.h": '#include "platform/foundation/Queue.h"\n',
    "app/shell/Gate.h": '#include "sdk/core/App.h"\n#include "app/store/Records.h"\n',
    "app/documents/pages/Page.h": '#include "app/shell/Gate.h"\n#include "platform/ui/View.h"\n',
    "app/documents/letter/Letter.h": '#include "app/documents/pages/Page.h"\n',
    "app/documents/letter/Letter.cpp": '#include "Letter.h"\n#include "ui_Letter.h"\n#include "Letter.moc"\n'
                                       '#include "events.pb.h"\n',
    "app/documents/certificate/Certificate.h": '#include "app/documents/pages/Page.h"\n',
    "app/documents/artwork/Art.h": "",
    "app/documents/pages/Preview.h": '#include "app/documents/pages/Page.h"\n#include "app/documents/artwork/Art.h"\n',
    "app/photos/hud/Hud.h": '#include "platform/ui/View.h"\n',
    "app/photos/editor/Editor.h": '#include "app/shell/Gate.h"\n',
    "app/photos/editor/EditorHud.h": "#include <app/photos/hud/Hud.h>\n",
    "app/MainStoryboard.cpp": '#include "app/documents/letter/Letter.h"\n'
                              '#include "app/documents/certificate/Certificate.h"\n'
                              '#include "app/photos/editor/Editor.h"\n',
    "resources/ui/Letter.ui": "<ui><customwidgets><customwidget><class>PageWidget</class>"
                              "<header>app/documents/pages/Page.h</header></customwidget></customwidgets></ui>\n",
    "tools/art/Art.h": "",
    "tests/support/Home.h": "",
}


class Tree:
    """A tree of CLEAN with lines added to some files, checked by the script."""

    def __init__(self, case, added):
        self.dir = tempfile.TemporaryDirectory(prefix="check-includes-")
        case.addCleanup(self.dir.cleanup)
        files = dict(CLEAN)
        for path, lines in added.items():
            files[path] = files.get(path, "") + lines
        for path, text in files.items():
            full = os.path.join(self.dir.name, path)
            os.makedirs(os.path.dirname(full), exist_ok=True)
            with open(full, "w", encoding="utf-8") as f:
                f.write(text)

    def check(self, *options):
        return check(self.dir.name, *options)


def write(path, text):
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def read(path):
    with open(path, encoding="utf-8") as f:
        return f.read()


def check(root, *options):
    run = subprocess.run([sys.executable, SCRIPT, "--root", root, *options], capture_output=True, text=True,
                         check=False)
    return run.returncode, run.stdout, run.stderr


class RulesTests(unittest.TestCase):
    def fails_with(self, added, *expected):
        status, _, errors = Tree(self, added).check()
        self.assertEqual(status, 1, errors)
        for line in expected:
            self.assertIn(line, errors)
        return errors

    def test_a_tree_that_keeps_the_rules_passes_and_generated_headers_count_for_nothing(self):
        status, out, errors = Tree(self, {}).check()
        self.assertEqual((status, errors), (0, ""))
        self.assertIn("includes: clean", out)

    def test_an_include_between_flows_is_named_by_file_and_include(self):
        self.fails_with({"app/documents/letter/Letter.h": '#include "app/documents/certificate/Certificate.h"\n'},
                        'app/documents/letter/Letter.h:2: includes "app/documents/certificate/Certificate.h": '
                        "an include between flows (app/documents/letter -> app/documents/certificate)")

    def test_a_form_whose_widget_lives_in_another_flow_is_named_with_its_generated_header(self):
        self.fails_with({"resources/ui/Letter.ui": "<header>app/documents/certificate/Certificate.h</header>\n"},
                        'app/documents/letter/Letter.cpp:2: includes "ui_Letter.h", whose form includes '
                        '"app/documents/certificate/Certificate.h": an include between flows')

    def test_a_shared_room_or_a_lower_room_includes_no_flow(self):
        self.fails_with({"app/documents/pages/Page.h": '#include "app/documents/letter/Letter.h"\n',
                         "app/store/Records.h": '#include "app/photos/editor/Editor.h"\n'},
                        'app/documents/pages/Page.h:3: includes "app/documents/letter/Letter.h": only the '
                        "composition root includes a flow (app/documents/pages -> app/documents/letter)",
                        'app/store/Records.h:2: includes "app/photos/editor/Editor.h": only the composition '
                        "root includes a flow")

    def test_an_include_in_angle_brackets_that_reaches_the_tree_is_held_to_the_rules(self):
        # From the root only: an angle-bracket name found beside the file alone is not the tree's.
        self.fails_with({"app/documents/letter/Letter.h": "#include <app/documents/certificate/Certificate.h>\n"
                                                           "#include <Certificate.h>\n"},
                        "app/documents/letter/Letter.h:2: includes <app/documents/certificate/Certificate.h>: "
                        "an include between flows (app/documents/letter -> app/documents/certificate)")
        status, _, errors = Tree(self, {"app/documents/certificate/Certificate.h": "#include <Page.h>\n",
                                        "app/documents/pages/Page.h": "#include <Preview.h>\n"}).check()
        self.assertEqual((status, errors), (0, ""))

    def test_a_form_whose_global_header_lives_in_another_flow_is_named_with_its_generated_header(self):
        self.fails_with({"resources/ui/Letter.ui": '<header location="global">app/documents/certificate/'
                                                   "Certificate.h</header>\n"},
                        'app/documents/letter/Letter.cpp:2: includes "ui_Letter.h", whose form includes '
                        "<app/documents/certificate/Certificate.h>: an include between flows")

    def test_an_include_the_check_cannot_read_is_refused_by_file_and_line(self):
        self.fails_with({"app/documents/letter/Letter.h": '#define CERTIFICATE "app/documents/certificate/'
                                                           'Certificate.h"\n#include CERTIFICATE\n',
                         "platform/ui/View.h": "#  include_next PLATFORM_VIEW\n",
                         "sdk/core/App.h": '#include "/usr/include/stdio.h"\n'},
                        "app/documents/letter/Letter.h:3: includes CERTIFICATE: an include the check cannot read "
                        "(a macro",
                        "platform/ui/View.h:2: includes PLATFORM_VIEW: an include the check cannot read",
                        'sdk/core/App.h:2: includes "/usr/include/stdio.h": an include the check cannot read '
                        "(a path from the file system's root")

    def test_a_room_of_app_includes_none_above_it(self):
        self.fails_with({"app/shell/Gate.h": '#include "app/photos/hud/Hud.h"\n',
                         "app/store/Records.h": '#include "app/documents/artwork/Art.h"\n'},
                        'app/shell/Gate.h:3: includes "app/photos/hud/Hud.h": a lower room includes a shared '
                        "room, which is above it (app/shell -> app/photos/hud)",
                        'app/store/Records.h:2: includes "app/documents/artwork/Art.h": a lower room includes '
                        "a shared room, which is above it (app/store -> app/documents/artwork)")

    def test_a_folder_of_app_in_none_of_its_rooms_is_named(self):
        self.fails_with({"app/extras/Extra.h": '#include "app/store/Records.h"\n'},
                        "app/extras: a folder of app/ in none of its rooms")

    def test_a_mutual_pair_of_folders_names_both_includes(self):
        self.fails_with({"app/store/Records.h": '#include "app/shell/Gate.h"\n'},
                        "mutual pair of folders: app/shell <-> app/store",
                        'app/shell/Gate.h:2: includes "app/store/Records.h"',
                        'app/store/Records.h:2: includes "app/shell/Gate.h"')

    def test_a_cycle_of_three_folders_names_each_arrow(self):
        errors = self.fails_with({"app/store/Records.h": '#include "app/documents/pages/Page.h"\n'},
                                 "cycle between folders: app/documents/pages -> app/shell -> app/store -> "
                                 "app/documents/pages",
                                 'app/documents/pages/Page.h:1: includes "app/shell/Gate.h"',
                                 'app/shell/Gate.h:2: includes "app/store/Records.h"',
                                 'app/store/Records.h:2: includes "app/documents/pages/Page.h"')
        self.assertNotIn("mutual pair", errors)

    def test_a_lower_floor_includes_no_higher_one(self):
        self.fails_with({"platform/ui/View.h": '#include "sdk/core/App.h"\n',
                         "sdk/core/App.h": '#include "app/store/Records.h"\n'},
                        'platform/ui/View.h:2: includes "sdk/core/App.h": a lower floor includes a higher one',
                        'sdk/core/App.h:2: includes "app/store/Records.h": a lower floor includes a higher one')

    def test_no_floor_includes_tools_tests_or_the_composition_root(self):
        self.fails_with({"app/shell/Gate.h": '#include "tools/art/Art.h"\n',
                         "platform/foundation/Queue.h": '#include "tests/support/Home.h"\n',
                         "app/photos/editor/Editor.h": '#include "app/MainStoryboard.cpp"\n'},
                        'app/shell/Gate.h:3: includes "tools/art/Art.h": an include into tools/',
                        'platform/foundation/Queue.h:3: includes "tests/support/Home.h": an include into tests/',
                        'app/photos/editor/Editor.h:2: includes "app/MainStoryboard.cpp": a room includes the '
                        "composition root")

    def test_the_graph_shows_each_folder_with_the_folders_it_includes(self):
        status, out, _ = Tree(self, {}).check("--graph")
        self.assertEqual(status, 0)
        self.assertIn("app -> app/documents/certificate, app/documents/letter, app/photos/editor\n", out)
        self.assertIn("app/documents/letter [flow] -> app/documents/pages\n", out)
        self.assertIn("app/documents/pages [shared room] -> app/documents/artwork, app/shell, platform/ui\n", out)
        self.assertIn("app/store [lower room] -> platform/foundation\n", out)
        self.assertIn("platform/foundation -> (nothing)\n", out)


class ThisTreeTests(unittest.TestCase):
    """A copy of this tree, which passes, planted with one fault at a time."""

    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory(prefix="check-includes-")
        cls.root = cls.dir.name
        for part in ("app", "platform", "sdk", "resources/ui", "tools"):
            shutil.copytree(os.path.join(SOURCE, part), os.path.join(cls.root, part))

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def planted(self, path, added):
        """Adds the text to the tree's file for this test alone; the line number the first added line takes."""
        full = os.path.join(self.root, path)
        before = read(full)
        self.addCleanup(write, full, before)
        write(full, before + ("" if before.endswith("\n") else "\n") + added)
        return before.count("\n") + 1 + (0 if before.endswith("\n") else 1)

    def fails_naming(self, expected):
        status, _, errors = check(self.root)
        self.assertEqual(status, 1, errors)
        self.assertIn(expected, errors)

    def test_the_tree_as_it_is_passes(self):
        status, out, errors = check(self.root)
        self.assertEqual((status, errors), (0, ""))
        self.assertIn("includes: clean", out)

    def test_an_include_planted_from_one_flow_into_another_fails_the_check(self):
        letter = os.path.join(self.root, "app/documents/letter")
        planted = sorted(f for f in os.listdir(letter) if f.endswith(".cpp"))[0]
        target = sorted(f for f in os.listdir(os.path.join(self.root, "app/documents/certificate"))
                        if f.endswith(".h"))[0]
        line = self.planted(f"app/documents/letter/{planted}", f'#include "app/documents/certificate/{target}"\n')
        self.fails_naming(f'app/documents/letter/{planted}:{line}: includes "app/documents/certificate/{target}": '
                          "an include between flows")

    def test_an_include_in_angle_brackets_from_one_flow_into_another_fails_the_check(self):
        line = self.planted("app/photos/receive/SessionHelper.cpp", "#include <app/photos/select/largePhotoView.h>\n")
        self.fails_naming(f"app/photos/receive/SessionHelper.cpp:{line}: includes "
                          "<app/photos/select/largePhotoView.h>: an include between flows "
                          "(app/photos/receive -> app/photos/select)")

    def test_a_global_form_header_from_one_flow_into_another_fails_the_check(self):
        full = os.path.join(self.root, "resources/ui/PeerListViewController.ui")
        form = read(full)
        self.addCleanup(write, full, form)
        write(full, form.replace("</ui>", "<customwidgets><customwidget><class>largePhotoView</class>"
                                          "<extends>QWidget</extends><header location=\"global\">"
                                          "app/photos/select/largePhotoView.h</header></customwidget>"
                                          "</customwidgets>\n</ui>"))
        source = read(os.path.join(self.root, "app/photos/receive/PeerListViewController.cpp")).splitlines()
        line = source.index('#include "ui_PeerListViewController.h"') + 1
        self.fails_naming(f'app/photos/receive/PeerListViewController.cpp:{line}: includes '
                          '"ui_PeerListViewController.h", whose form includes <app/photos/select/largePhotoView.h>: '
                          "an include between flows (app/photos/receive -> app/photos/select)")

    def test_an_include_by_a_macro_fails_the_check(self):
        line = self.planted("app/photos/receive/SessionHelper.cpp",
                            '#define LARGE_PHOTO_VIEW "app/photos/select/largePhotoView.h"\n'
                            "#include LARGE_PHOTO_VIEW\n")
        self.fails_naming(f"app/photos/receive/SessionHelper.cpp:{line + 1}: includes LARGE_PHOTO_VIEW: an include "
                          "the check cannot read")

    def test_a_lower_room_including_a_shared_room_fails_the_check(self):
        for source, target, arrow in (("app/shell/FormAlerts.cpp", "app/photos/albums/McInfo.h",
                                       "app/shell -> app/photos/albums"),
                                      ("app/store/PrintNumber.cpp", "app/photos/hud/HudGeometry.h",
                                       "app/store -> app/photos/hud")):
            with self.subTest(source=source):
                full = os.path.join(self.root, source)
                before = read(full)
                line = self.planted(source, f'#include "{target}"\n')
                self.fails_naming(f'{source}:{line}: includes "{target}": a lower room includes a shared room, '
                                  f"which is above it ({arrow})")
                write(full, before)


if __name__ == "__main__":
    unittest.main(verbosity=2)
