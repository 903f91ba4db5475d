"""A real notification area on the private display (icewm's task bar, which
holds XEmbed tray icons by itself) and a reading of the X window tree to see
what it holds."""

import os
import re
import subprocess
from dataclasses import dataclass, field

from desktop import end_group, require_program
from remote import wait_for

# The window inside icewm's task bar that embeds the tray icons.
TRAY_WINDOW_NAME = "SystemTray"

# The clock and monitors are left out: they only repaint and clutter a
# failure's window tree and screenshot.
PREFERENCES = """\
TaskBarShowClock=0
TaskBarShowCPUStatus=0
TaskBarShowMEMStatus=0
TaskBarShowNetStatus=0
TaskBarShowApm=0
TaskBarShowMailboxStatus=0
TaskBarShowTray=1
"""


@dataclass
class XWindow:
    id: int
    name: str
    wm_class: str
    x: int
    y: int
    width: int
    height: int
    parent: "XWindow" = None
    children: list = field(default_factory=list)

    def ancestors(self):
        node = self.parent
        while node is not None:
            yield node
            node = node.parent

    def top_level(self):
        """The window's ancestor (or itself) that is a child of the root: with a
        window manager, the frame around it."""
        node = self
        while node.parent is not None and node.parent.parent is not None:
            node = node.parent
        return node


# '     0x400006 "Brindora Control": ("brindora" "Brindora Control")  24x24+0+0  +839+743'
_TREE_LINE = re.compile(r'^\s*(0x[0-9a-f]+) (?:\(has no name\)|"(.*)"): \((.*)\)\s+'
                        r'(\d+)x(\d+)[+-]-?\d+[+-]-?\d+\s+\+?(-?\d+)\+?(-?\d+)$')


class TrayHost:
    def __init__(self, desktop, workdir):
        self.desktop = desktop
        self.icewm = require_program("icewm")
        self.xwininfo = require_program("xwininfo")
        self.xprop = require_program("xprop")
        self.config = os.path.join(workdir, "icewm")
        self.log_path = os.path.join(workdir, "icewm.log")
        self.process = None
        os.makedirs(self.config, exist_ok=True)

    def start(self, tray=True):
        """icewm, and in its task bar a tray unless told otherwise."""
        with open(os.path.join(self.config, "preferences"), "w") as preferences:
            preferences.write(PREFERENCES + f"TaskBarEnableSystemTray={int(tray)}\n")
        env = dict(self.desktop.env, ICEWM_PRIVCFG=self.config)
        with open(self.log_path, "ab") as log:
            self.process = self.desktop.spawn([self.icewm], env=env, stdout=log,
                                              stderr=subprocess.STDOUT)
        # A program started before the tray exists rightly falls back to minimising; the
        # scenarios are about a desktop whose tray is already there.
        wait_for(self.tray_windows if tray else self.task_bar, "icewm's task bar and tray")
        return self

    def task_bar(self):
        return any(node.wm_class.startswith('"icewm"') for node in self.windows())

    def wm_state(self, window):
        """Normal, Iconic or Withdrawn, as the window manager keeps it (None: no WM_STATE)."""
        result = subprocess.run([self.xprop, "-id", str(window), "WM_STATE"],
                                env=self.desktop.env, capture_output=True, text=True)
        return next((line.split(":")[1].strip() for line in result.stdout.splitlines()
                     if "window state" in line), None)

    def stop(self):
        end_group(self.process)

    def tree(self):
        """The whole window tree; returns the root XWindow."""
        # xwininfo fails when a window goes away while it walks the tree: look again.
        output = wait_for(self._tree_output, "readable X window tree")
        root = XWindow(0, "(root)", "", 0, 0, 0, 0)
        stack = [(-1, root)]
        for line in output.splitlines():
            match = _TREE_LINE.match(line)
            if not match:
                continue
            depth = len(line) - len(line.lstrip())
            while stack[-1][0] >= depth:
                stack.pop()
            parent = stack[-1][1]
            window = XWindow(int(match[1], 16), match[2] or "", match[3],
                             int(match[6]), int(match[7]), int(match[4]), int(match[5]), parent)
            parent.children.append(window)
            stack.append((depth, window))
        return root

    def _tree_output(self):
        result = subprocess.run([self.xwininfo, "-root", "-tree"], env=self.desktop.env,
                                capture_output=True, text=True)
        return result.stdout if result.returncode == 0 else None

    def windows(self):
        pending = [self.tree()]
        while pending:
            node = pending.pop()
            yield node
            pending.extend(node.children)

    def find(self, window_id):
        return next((node for node in self.windows() if node.id == window_id), None)

    def tray_windows(self):
        """The task bar windows that embed tray icons (one while icewm runs)."""
        return [node for node in self.windows() if node.name == TRAY_WINDOW_NAME]

    def is_xembed_client(self, window_id):
        result = subprocess.run([self.xprop, "-id", str(window_id), "_XEMBED_INFO"],
                                env=self.desktop.env, capture_output=True, text=True)
        return result.returncode == 0 and "_XEMBED_INFO(CARDINAL)" in result.stdout

    def icon_of(self, remote):
        """The window id of the program's tray icon: among its windows the one
        that speaks XEmbed. Qt names that window after the application, like
        the hidden group leader beside it, so the name alone cannot tell."""
        icons = [int(w) for w in remote.windows(visible=False) if self.is_xembed_client(w)]
        return icons[0] if len(icons) == 1 else None

    def embedded_icon(self, remote):
        """The icon's window if it sits inside the tray right now, else None."""
        icon_id = self.icon_of(remote)
        icon = self.find(icon_id) if icon_id is not None else None
        inside = icon and any(node.name == TRAY_WINDOW_NAME for node in icon.ancestors())
        return icon if inside else None
