#pragma once
// The host's registries: global functions that any package may call by name, and the
// bill forms that packages register under a form name and privilege id.
//
// Names compare without regard to case ("showbillform" reaches "SHOWBILLFORM"). A name
// registered twice keeps the handler (or form factory) registered last: a package that is
// reloaded simply re-registers.
#include "host/KQParams.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QWidget;

using TGlobalFunction = int (*)(const QString& name, const QString& subject, KQParams* params);
using TGlobalHandler = std::function<int(const QString& name, const QString& subject, KQParams* params)>;
// A handler of GlobalCallEx: returns a variant (objects as qint64 addresses).
using TGlobalHandlerEx = std::function<QVariant(const QString& name, const QString& subject, KQParams* params)>;

// Takes a TGlobalFunction pointer as well as any callable (lambdas with captures).
void RegistFunction(const QString& name, TGlobalHandler handler);
// Registers a function whose GlobalCallEx answer is a variant; GlobalCall of the same name
// runs it and returns 0.
void RegistFunctionEx(const QString& name, TGlobalHandlerEx handler);
void UnregistFunction(const QString& name);
bool IsFunctionRegistered(const QString& name);
QStringList RegisteredFunctions();

// Runs the function registered under `name` with the name as the caller spelled it.
// An unknown name does nothing and returns -1 (GlobalCallEx: an invalid QVariant).
// Exceptions of the handler propagate to the caller.
int GlobalCall(const QString& name, const QString& subject = QString(), KQParams* params = nullptr);
// For a function registered with RegistFunction, the answer is the bag's "Result" entry
// when the handler wrote one, else the handler's integer.
QVariant GlobalCallEx(const QString& name, const QString& subject = QString(), KQParams* params = nullptr);

// ---- bill forms
// The "form class": creates the form (a QWidget) with the given owner.
using TFormFactory = std::function<QWidget*(QWidget* owner)>;

void RegisterPrivilegedForm(const QString& formName, TFormFactory factory, int privilegeId);
void UnregisterPrivilegedForm(const QString& formName);
bool IsFormRegistered(const QString& formName);
QStringList RegisteredForms(); // in registration order, as registered
// The privilege id a form is registered under; -1 when unknown.
int GetFormPrivilegeId(const QString& formName);
// Creates the form, owned by `owner` (default: the main window when there is one).
// nullptr when the name is unknown, or when the current user lacks the browse right on
// its privilege id (the user is then told "您没有该功能的操作权限！").
QWidget* GetPrivilegedForm(const QString& formName, QWidget* owner = nullptr);

// The widget that owns forms when no owner is given (the application sets its main window).
void SetDefaultFormOwner(QWidget* owner);
QWidget* DefaultFormOwner();

// Empties both registries (tests, and the host when it drops every package).
void ClearRegistries();
