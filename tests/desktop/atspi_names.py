#!/usr/bin/python3
"""Prints the value boxes and lists of the running program "tovel" as the
AT-SPI tree shows them to a screen reader, one a line:

    role<TAB>name<TAB>names of the labels tied to it, joined by "|"

Exits 1 while the program is not (yet) on the accessibility bus."""
import sys

import pyatspi


def controls(node):
    for i in range(node.childCount):
        child = node.getChildAtIndex(i)
        if child is None:
            continue
        if child.getRole() in (pyatspi.ROLE_COMBO_BOX, pyatspi.ROLE_TEXT, pyatspi.ROLE_ENTRY):
            yield child
        yield from controls(child)


def labels(node):
    for relation in node.getRelationSet():
        if relation.getRelationType() == pyatspi.RELATION_LABELLED_BY:
            for j in range(relation.getNTargets()):
                yield relation.getTarget(j).name


found = False
for app in pyatspi.Registry.getDesktop(0):
    if app is None or app.name != "tovel":
        continue
    for control in controls(app):
        found = True
        print(f"{control.getRoleName()}\t{control.name}\t{'|'.join(labels(control))}")
sys.exit(0 if found else 1)
