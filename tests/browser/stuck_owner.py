#!/usr/bin/python3
"""Takes the X clipboard and then never answers a request for it, as a hung program does."""
import sys
import time

from PyQt5.QtCore import QMimeData
from PyQt5.QtWidgets import QApplication

app = QApplication([sys.argv[0]])
data = QMimeData()
data.setData("text/html", b"<p>never delivered</p>")
data.setData("image/png", b"\x89PNG never delivered")
QApplication.clipboard().setMimeData(data)
app.processEvents()
print("owner", flush=True)
# The event loop never runs again: selection requests stay unanswered.
time.sleep(float(sys.argv[1]) if len(sys.argv) > 1 else 600)
