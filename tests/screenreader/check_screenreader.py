# Starts the program with its accessibility bridge on, and reads it as a
# screen reader does: names of the font boxes, toolbars, the document's text,
# the Replace and Go To dialogs, the caret panel and the Open dialog's lists,
# and what an undo tells. Prints each finding;
# exits 1 when one is wrong.
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

program = sys.argv[1]
home = tempfile.mkdtemp(prefix='quillory-screenreader.')
environment = dict(os.environ, HOME=home, XDG_CONFIG_HOME=home + '/config', XDG_DATA_HOME=home + '/data',
                   XDG_CACHE_HOME=home + '/cache', QT_QPA_PLATFORM='xcb', QT_LINUX_ACCESSIBILITY_ALWAYS_ON='1')
environment.pop('QT_SCALE_FACTOR', None)
failures = []
heard = []


def check(what, seen, expected):
    print(('ok      ' if seen == expected else 'WRONG   ') + what + ': ' + repr(seen)
          + ('' if seen == expected else ' (expected ' + repr(expected) + ')'))
    if seen != expected:
        failures.append(what)


def pump(seconds):
    context = GLib.MainContext.default()
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if not context.iteration(False):
            time.sleep(0.01)


def wait_for(find, seconds=30):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        found = find()
        if found is not None:
            return found
        pump(0.2)
    return None


def descendants(node, depth=0):
    if node is None or depth > 40:
        return
    yield node
    for index in range(node.childCount):
        try:
            child = node.getChildAtIndex(index)
        except Exception:
            continue
        yield from descendants(child, depth + 1)


def first(node, role, name=None):
    for found in descendants(node):
        try:
            if found.getRoleName() == role and (name is None or found.name == name):
                return found
        except Exception:
            continue
    return None


def application():
    for app in pyatspi.Registry.getDesktop(0):
        if app is not None and app.name.lower() == 'quillory':
            return app
    return None


# A box's label, where a label names it, or else its own name.
def what_it_is(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY and relation.getTarget(0).getRoleName() == 'label':
            return 'labelled ' + relation.getTarget(0).name
    return node.name


def keys(*names):
    for name in names:
        subprocess.run(['xdotool', 'key', '--clearmodifiers', name], check=True)
        pump(0.3)


def record(event):
    if event.type.startswith('object:text-changed'):
        heard.append((event.type, event.detail1, str(event.any_data)))
    elif event.type.startswith('object:text-caret-moved'):
        heard.append(('caret', event.detail1, ''))


# The program, and its application on the bus once it is there. A program
# that ends at once found no display yet (the virtual one may still be
# starting) and is started again.
def launch():
    for attempt in range(5):
        process = subprocess.Popen([program], env=environment, cwd=home, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL)
        end = time.monotonic() + 30
        while time.monotonic() < end and process.poll() is None:
            found = application()
            if found is not None:
                return process, found
            pump(0.2)
        if process.poll() is None:
            return process, None
        pump(1)
    return process, None


started, app = launch()
try:
    frame = app and wait_for(lambda: first(app, 'frame', 'Tallowmere Quillory 98/7'))
    if frame is None:
        print('WRONG   the program never showed its frame on the accessibility bus')
        sys.exit(1)
    window = subprocess.run(['xdotool', 'search', '--sync', '--onlyvisible', '--name', '^Tallowmere Quillory'],
                            capture_output=True, text=True).stdout.split()
    subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]])
    pump(1)

    font = first(frame, 'combo box', 'Font')
    check('the font box is named', font and font.name, 'Font')
    check('the font box says what it is for', font and font.description, 'Screen Font')
    size = first(frame, 'combo box', 'Font Size')
    check('the size box is named', size and size.name, 'Font Size')
    check('the toolbars are named', sorted(bar.name for bar in descendants(frame) if bar.getRoleName() == 'tool bar'),
          ['Font', 'Format', 'Standard'])
    text = wait_for(lambda: first(frame, 'text', 'Untitled1'), 5)
    check("the document's text is named by its window", text and text.name, 'Untitled1')

    pyatspi.Registry.registerEventListener(record, 'object:text-changed', 'object:text-caret-moved')
    subprocess.run(['xdotool', 'type', '--delay', '30', 'one two'], check=True)
    pump(0.5)
    del heard[:]
    keys('ctrl+z')
    pump(0.5)
    deleted = [event for event in heard if event[0] == 'object:text-changed:delete']
    check('undo tells the text it took away', deleted and deleted[0][2], 'one two')
    check('and that the caret went to the start', [event[1] for event in heard if event[0] == 'caret'][-1:], [0])
    del heard[:]
    keys('ctrl+y', 'BackSpace', 'BackSpace')
    del heard[:]
    keys('ctrl+z')
    pump(0.5)
    check('undoing a deletion tells the text put back',
          [event[2] for event in heard if event[0] == 'object:text-changed:insert'], ['wo'])
    pyatspi.Registry.deregisterEventListener(record, 'object:text-changed', 'object:text-caret-moved')

    keys('ctrl+h')
    dialog = wait_for(lambda: first(app, 'dialog', 'Replace'), 10)
    if dialog is None:
        check('Ctrl+H shows the Replace dialog', None, 'Replace')
    else:
        boxes = sorted(found.name for found in descendants(dialog) if found.getRoleName() in ('combo box', 'check box'))
        check("the Replace dialog's boxes say what they are for", boxes,
              ['Find what', 'Match case', 'Match whole word only', 'Regular expression', 'Replace with'])
        keys('Escape')
        # Without a window manager the frame takes the keys back only when told.
        subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]])
    keys('ctrl+g')
    dialog = wait_for(lambda: first(app, 'dialog', 'Go To Line'), 10)
    if dialog is None:
        check('Ctrl+G shows the Go To dialog', None, 'Go To Line')
    else:
        line = first(dialog, 'text')
        check("Go To's box is named by its label", line and what_it_is(line), 'labelled Line number:')
        keys('Escape')
        subprocess.run(['xdotool', 'windowfocus', '--sync', window[0]])
    keys('Home', 'Right')
    panels = [found.name for found in descendants(frame) if found.getRoleName() == 'label'
              and found.name.startswith('Ln ')]
    check('the caret panel says where the caret is', panels, ['Ln 1, Col 2'])

    keys('ctrl+o')
    dialog = wait_for(lambda: first(app, 'dialog', 'Open'), 10)
    if dialog is None:
        check('Ctrl+O shows the Open dialog', None, 'Open')
    else:
        lists = sorted(what_it_is(found) for found in descendants(dialog) if found.getRoleName() in ('list', 'combo box')
                       and found.parent.getRoleName() != 'combo box')
        check("the Open dialog's lists say which they are", lists,
              sorted(['Drive', 'Folder', 'Files', 'Recent files', 'labelled Files of type:', 'labelled Encoding:']))
        pictures = [found.name for found in descendants(dialog) if found.getRoleName() in ('image', 'label')
                    and found.name == 'Look In:']
        check('no picture or label of the dialog is called "Look In:"', pictures, [])
        keys('alt+c')
finally:
    started.terminate()
    try:
        started.wait(10)
    except subprocess.TimeoutExpired:
        started.kill()
    subprocess.run(['rm', '-rf', home])

print('%d wrong' % len(failures) if failures else 'all heard as they should be')
sys.exit(1 if failures else 0)
