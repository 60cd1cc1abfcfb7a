"""The circle report over small trees of its own: includes, calls read from object files, the
allowed and the known circles."""

import importlib.machinery
import importlib.util
import os
import subprocess
import sys
import tempfile
import unittest

SCRIPT = os.path.join(os.path.dirname(__file__), "..", "..", "scripts", "circles")
loader = importlib.machinery.SourceFileLoader("circles", SCRIPT)
circles = importlib.util.module_from_spec(importlib.util.spec_from_loader("circles", loader))
loader.exec_module(circles)


class Tree:
    """Source files in a folder, compiled as CMake lays out its objects when asked."""

    def __init__(self, files):
        self.folder = tempfile.TemporaryDirectory()
        self.root = os.path.join(self.folder.name, "source")
        self.build = os.path.join(self.folder.name, "build")
        for path, text in files.items():
            os.makedirs(os.path.dirname(os.path.join(self.root, path)), exist_ok=True)
            with open(os.path.join(self.root, path), "w", encoding="utf-8") as stream:
                stream.write(text)
        self.files = files

    def compile(self):
        folders = {os.path.dirname(path) for path in self.files}
        for path in self.files:
            if path.endswith(".cpp"):
                target = os.path.join(self.build, "CMakeFiles", "lib.dir", path + ".o")
                os.makedirs(os.path.dirname(target), exist_ok=True)
                includes = [f"-I{os.path.join(self.root, folder)}" for folder in folders]
                subprocess.run(["c++", "-std=c++20", "-c", *includes, os.path.join(self.root, path),
                                "-o", target], check=True)
        return self.build

    def report(self, allowed=frozenset(), known=None, with_calls=False):
        return circles.report(self.root, self.compile() if with_calls else None, set(allowed), known or {})


# Two families that include each other's headers.
MUTUAL = {
    "engine/core/WeA.h": "#pragma once\nint A();\n",
    "engine/core/WeA.cpp": '#include "WeA.h"\n#include "WeB.h"\nint A() { return B(); }\n',
    "engine/core/WeB.h": "#pragma once\nint B();\n",
    "engine/core/WeB.cpp": '#include "WeB.h"\n#include "WeA.h"\n'
                           "int B() { return 1; }\nint C() { return A(); }\n",
}


class CirclesTest(unittest.TestCase):
    def make_tree(self, files):
        tree = Tree(files)
        self.addCleanup(tree.folder.cleanup)
        return tree

    def test_families_that_include_each_other_are_a_circle_unless_allowed_or_known(self):
        tree = self.make_tree(MUTUAL)
        cases = [
            (set(), {}, True, "circle of 2 units: engine/core/WeA engine/core/WeB"),
            ({"engine/core/WeA", "engine/core/WeB"}, {}, False,
             "allowed circle: engine/core/WeA engine/core/WeB"),
            ({"engine/core/WeA"}, {}, True, "circle of 2 units"),
            (set(), {"old": {"engine/core/WeA", "engine/core/WeB", "engine/core/WeC"}}, False,
             "known circle, old: 2 units"),
        ]
        for allowed, known, failing, first in cases:
            lines, failed = tree.report(allowed, known)
            self.assertEqual(failed, failing, (allowed, known, lines))
            self.assertTrue(lines[0].startswith(first), lines)

    def test_a_failing_circle_names_the_include_that_closes_it(self):
        lines, _ = self.make_tree(MUTUAL).report()
        self.assertIn("    engine/core/WeB -> engine/core/WeA: engine/core/WeB.cpp includes WeA.h", lines)

    def test_includes_one_way_make_no_circle(self):
        files = dict(MUTUAL)
        files["engine/core/WeB.cpp"] = '#include "WeB.h"\nint B() { return 1; }\n'
        self.assertEqual(self.make_tree(files).report(), ([], False))

    def test_a_call_through_a_declaration_of_its_own_closes_a_circle_the_includes_miss(self):
        files = dict(MUTUAL)
        files["engine/core/WeB.cpp"] = '#include "WeB.h"\nint A();\nint B() { return 1; }\n' \
                                       "int C() { return A(); }\n"
        self.assertFalse(self.make_tree(files).report()[1])
        lines, failed = self.make_tree(files).report(with_calls=True)
        self.assertTrue(failed)
        self.assertIn("    engine/core/WeB -> engine/core/WeA: engine/core/WeB.cpp refers to A()", lines)

    def test_a_headerless_source_belongs_to_the_class_it_defines_and_a_global_to_its_header(self):
        files = {
            "game/MivoPhase.h": "#pragma once\nclass MivoPhase\n{\npublic:\n    int Show();\n"
                                "    int Input();\n};\nextern MivoPhase phase;\n",
            "game/MivoPhase.cpp": '#include "MivoPhase.h"\nint MivoPhase::Show() { return 1; }\n',
            "game/MivoPhaseInput.cpp": '#include "MivoPhase.h"\n#include "MivoMenu.h"\n'
                                       "int MivoPhase::Input() { return Menu(); }\n",
            "game/MivoMenu.h": "#pragma once\nint Menu();\n",
            "game/MivoMenu.cpp": '#include "MivoMenu.h"\n#include "MivoPhase.h"\n'
                                 "int Menu() { return phase.Show(); }\n",
            "game/MivoGlobals.cpp": '#include "MivoPhase.h"\nMivoPhase phase;\n',
        }
        tree = self.make_tree(files)
        self.assertEqual(tree.report(), ([], False))
        lines, failed = tree.report(with_calls=True)
        self.assertTrue(failed)
        self.assertEqual(lines[0], "circle of 2 units: game/MivoMenu game/MivoPhase")
        self.assertIn("    game/MivoPhase -> game/MivoMenu: game/MivoPhaseInput.cpp includes MivoMenu.h",
                      lines)
        graph = circles.Graph()
        circles.read_calls(tree.build, circles.source_files(tree.root), graph, tree.root)
        self.assertIn("game/MivoMenu.cpp refers to phase", graph.reasons[("game/MivoMenu", "game/MivoPhase")])
        self.assertNotIn(("game/MivoMenu", "game/MivoGlobals"), graph.reasons)

    def test_a_known_member_out_of_every_circle_must_leave_the_list(self):
        files = dict(MUTUAL)
        files["engine/core/WeB.cpp"] = '#include "WeB.h"\nint B() { return 1; }\n'
        known = {"old": {"engine/core/WeA", "engine/core/WeB"}}
        lines, failed = self.make_tree(files).report(known=known, with_calls=True)
        self.assertTrue(failed)
        self.assertIn("engine/core/WeA is in no circle any more: take it off the known circle of old",
                      lines)

    def test_an_include_that_two_files_answer_is_refused(self):
        files = {
            "engine/core/WeA.cpp": '#include "Shared.h"\n',
            "engine/render/Shared.h": "#pragma once\n",
            "engine/ui/Shared.h": "#pragma once\n",
        }
        lines, failed = self.make_tree(files).report()
        self.assertTrue(failed)
        self.assertTrue(lines[0].startswith('ambiguous include: engine/core/WeA.cpp: "Shared.h"'), lines)


if __name__ == "__main__":
    unittest.main(argv=[sys.argv[0]])
