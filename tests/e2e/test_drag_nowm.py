#!/usr/bin/env python3
"""test_drag.py without a window manager, where Wine runs the move loop itself
instead of handing the move to the window manager."""
import test_drag

test_drag.run(wm=False)
